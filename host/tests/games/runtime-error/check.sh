grep -q "AN ERROR HAS OCCURED \[boom\]" error.txt || { cat error.txt; exit 1; }
