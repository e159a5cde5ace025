print("must not run\n");
