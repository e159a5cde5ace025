local x = ;
