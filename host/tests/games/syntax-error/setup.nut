title = "syntax";
