print("in sub/a\n");
include("b.nut");
include("b.nut", false);
return "a done";
