print("never\n");
