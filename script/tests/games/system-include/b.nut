print("in root b\n");
