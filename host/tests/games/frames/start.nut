// Each halt() ends a frame; the script picks up where it stopped.
for (local i = 0; i < 5; ++i) {
    print("frame " + i + "\n");
    halt();
}
print("done\n");
