print("intro ran\n");
