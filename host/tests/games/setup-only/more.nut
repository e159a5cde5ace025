print("more ran, DEBUG " + DEBUG + "\n");
