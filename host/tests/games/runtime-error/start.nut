exit_handlers.add(function() { print("exit handler\n"); });
print("start\n");
throw "boom";
