// Entry point of the runner. Start-up and the frame cycle arrive with the script host.
#include <cstdio>

int main(int, char**) {
    std::fputs("koplayhost: no script host in this build yet\n", stderr);
    return 0;
}
