// A console program: counts a few frames and ends.
print("Hello from KoPlayhost\n");
for (local frame = 1; frame <= 3; frame++) {
    print(format("frame %d\n", frame));
    suspend();
}
print("bye\n");
