# The underlying errors are reported too.
grep -q "^broken.nut line = (1)" error.txt || { cat error.txt; exit 1; }
grep -q "script 'loop.nut' includes itself" error.txt || { cat error.txt; exit 1; }
