[ "$(cat error.txt)" = "an error of an earlier run" ]
