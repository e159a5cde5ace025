// An empty setup.nut: caption KoPlayhost, 640 x 480, not debug, no arguments.
print("DEBUG " + DEBUG + " cmdline " + cmdline.len() + "\n");
system("xdotool search --name '^KoPlayhost$' getwindowgeometry > geometry.txt");
