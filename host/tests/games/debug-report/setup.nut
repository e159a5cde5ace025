debug = true;
