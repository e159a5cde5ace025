// Endless loops whose test runs at the bottom (a compare-and-jump repeated with the
// opposite sense, or a jump on a local): each must spend the instruction budget.
local i = 0;
try { while (i < 10) {} } catch (e) {}
local a = 1, b = 2;
try { while (a < b) {} } catch (e) {}
try { for (local k = 0; k < 5; ) {} } catch (e) {}
local j = 1;
while (j) {}
