print("before");
local x = ;
