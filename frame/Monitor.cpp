#include "Monitor.h"

#include "io/Utf.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace KoFrame {

namespace {

constexpr const char* kPrefix = "KoFrame_Monitor_";
constexpr const char* kRequest = "raise ";
// Longest file name we make; longer IDs keep their start and get a hash of the whole.
constexpr size_t kMaxFileName = 200;

std::vector<Core::Monitor*>& liveMonitors() {
    static std::vector<Core::Monitor*> monitors;
    return monitors;
}

uint64_t fnv1a(const std::string& s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string hex(uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

// A directory only this user can use.
bool isPrivateDirectory(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           (st.st_mode & 0077) == 0;
}

std::string lockDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && isPrivateDirectory(runtime)) return runtime;
    std::string dir = "/tmp/koframe-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return isPrivateDirectory(dir) ? dir : std::string();
}

// Any ID gives a plain file name: bytes other than letters, digits, '_', '-' and '.' are
// written as %XX.
std::string fileNameOf(const std::u16string& fullName) {
    const std::string utf8 = KoIO::toUtf8(fullName);
    std::string name;
    for (unsigned char c : utf8) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '_' || c == '-' || c == '.') {
            name += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            name += buf;
        }
    }
    if (name.size() > kMaxFileName)
        name = name.substr(0, kMaxFileName - 17) + "~" + hex(fnv1a(utf8));
    return name;
}

sockaddr_un abstractAddress(const std::string& name, socklen_t& length) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const size_t n = std::min(name.size(), sizeof addr.sun_path - 1);
    std::memcpy(addr.sun_path + 1, name.data(), n); // sun_path[0] stays NUL: abstract
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
    return addr;
}

} // namespace

namespace Core {

Monitor::Monitor(const std::u16string& name) : name_(KoIO::fromUtf8(kPrefix) + name) {
    const std::string dir = lockDirectory();
    if (dir.empty()) return;
    lockPath_ = dir + "/" + fileNameOf(name_);
    lockFd_ = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) return;
    if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        // Taken by another live monitor (or the lock cannot be had at all): not first.
        close(lockFd_);
        lockFd_ = -1;
    } else {
        first_ = true;
    }
    // The channel is tied to the lock file, so different users and lock directories never meet.
    channel_ = std::string(kPrefix) + hex(fnv1a(lockPath_));
    if (!first_) return;

    channelFd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (channelFd_ < 0) return;
    int on = 1;
    socklen_t length;
    const sockaddr_un addr = abstractAddress(channel_, length);
    if (setsockopt(channelFd_, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0 ||
        bind(channelFd_, reinterpret_cast<const sockaddr*>(&addr), length) != 0) {
        close(channelFd_);
        channelFd_ = -1;
        return;
    }
    liveMonitors().push_back(this);
}

Monitor::~Monitor() {
    auto& live = liveMonitors();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (channelFd_ >= 0) close(channelFd_);
    // The lock file stays: removing it could let a starting instance lock a file that is
    // already unlinked while a third one creates a fresh one.
    if (lockFd_ >= 0) close(lockFd_);
}

bool Monitor::requestRaise() {
    if (first_ || lockPath_.empty()) return false;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    socklen_t length;
    const sockaddr_un addr = abstractAddress(channel_, length);
    const std::string message = kRequest + lockPath_;
    const ssize_t sent = sendto(fd, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&addr), length);
    close(fd);
    return sent == static_cast<ssize_t>(message.size());
}

unsigned Monitor::poll() {
    if (channelFd_ < 0) return 0;
    const std::string expected = kRequest + lockPath_;
    unsigned count = 0;
    for (;;) {
        char data[4096];
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(channelFd_, &msg, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        bool sameUser = false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
                ucred cred;
                std::memcpy(&cred, CMSG_DATA(c), sizeof cred);
                sameUser = cred.uid == getuid();
            }
        }
        if (sameUser && !(msg.msg_flags & MSG_TRUNC) &&
            std::string(data, static_cast<size_t>(n)) == expected)
            ++count;
    }
    requests_ += count;
    return count;
}

} // namespace Core

std::shared_ptr<IMonitor> createMonitor(const std::u16string& name) {
    return std::make_shared<Core::Monitor>(name);
}

namespace Detail {
unsigned pollRaiseRequests() {
    unsigned count = 0;
    for (Core::Monitor* m : liveMonitors()) count += m->poll();
    return count;
}
} // namespace Detail

} // namespace KoFrame
