count <- ("count" in getroottable()) ? count + 1 : 1;
print("exec " + count + "\n");
