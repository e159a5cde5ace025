#pragma once
// Runs monitor_probe as a separate process and reads its answers line by line.
#include <cstdlib>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace KoFrameTest {

class Probe {
public:
    Probe(const std::string& name, const std::string& mode) {
        int fds[2];
        if (pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::string path = FRAME_MONITOR_PROBE;
        char* argv[] = {path.data(), const_cast<char*>(name.c_str()),
                        const_cast<char*>(mode.c_str()), nullptr};
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fds[0];
    }
    ~Probe() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // The next line of output without its newline; "<timeout>" or "<eof>" otherwise.
    std::string line(int timeoutMs = 5000) {
        std::string text;
        for (;;) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0) return "<timeout>";
            char c;
            if (read(out_, &c, 1) != 1) return text.empty() ? "<eof>" : text;
            if (c == '\n') return text;
            text += c;
        }
    }
    // Exit status, waiting for it.
    int wait() {
        int status = -1;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void killNow() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

// A fresh private runtime directory for the duration of a test, so tests never meet the
// user's own instances or each other.
class RuntimeDir {
public:
    RuntimeDir() {
        char tmpl[] = "/tmp/koframe-test.XXXXXX";
        if (mkdtemp(tmpl)) path_ = tmpl;
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
    }
    ~RuntimeDir() {
        if (hadOld_)
            setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        std::system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_, old_;
    bool hadOld_ = false;
};

} // namespace KoFrameTest
