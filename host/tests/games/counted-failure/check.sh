# The same report reaches standard error, for a person at a terminal.
grep -q "AN ERROR HAS OCCURED \[broken on purpose\]" "$ERR" || { cat "$ERR"; exit 1; }
