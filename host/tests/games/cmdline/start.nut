for (local i = 1; i < cmdline.len(); ++i) {
    print("[" + cmdline[i] + "]\n");
}
