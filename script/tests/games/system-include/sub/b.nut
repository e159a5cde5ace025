print("in sub/b\n");
