exit_handlers.add(function() { print("exit handler\n"); });
quit();
print("still running\n");
halt();
quit();
print("frame ends\n");
halt();
print("never\n");
