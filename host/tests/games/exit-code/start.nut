exit_handlers.add(function() { print("exit handler\n"); });
print("before exit\n");
exit(5);
print("never\n");
