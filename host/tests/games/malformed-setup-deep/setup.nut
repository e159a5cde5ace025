// Recursion without end before the window opens.
function down(n) { return down(n + 1) + 1; }
width = down(0);
