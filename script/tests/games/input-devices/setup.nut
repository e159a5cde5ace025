title = "input-devices";
width = 320;
height = 240;
