// A second start of the same game ends at once while this one keeps running.
local rc = system("\"" + cmdline[0] + "\" . second-instance");
print("second returned " + rc + "\n");
halt();
print("first still running\n");
