grep -q "AN ERROR HAS OCCURED \[shown in a box\]" error.txt || exit 1
grep -q "koframe: error report box shown" "$ERR" || { cat "$ERR"; exit 1; }
