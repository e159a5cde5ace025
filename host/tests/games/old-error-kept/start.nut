print("fine\n");
