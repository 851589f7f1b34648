#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/single_instance.h"

namespace {

// The lock's address: an abstract unix socket named after the user. It exists only while its
// owner process lives, so a crash can never leave a stale lock behind, and nothing is written
// to the file system.
socklen_t LockAddress(sockaddr_un* address) {
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    char name[64];
    int length =
        std::snprintf(name, sizeof name, "CorvaneServer.%u", static_cast<unsigned>(getuid()));
    std::memcpy(address->sun_path + 1, name, static_cast<size_t>(length));  // sun_path[0] = 0
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

class AbstractSocketLock : public SingleInstanceLock {
public:
    explicit AbstractSocketLock(int fd) : fd_(fd) {}
    ~AbstractSocketLock() override { close(fd_); }

    int TakeCallsFromLaterCopies() override { return listen(fd_, 4) == 0 ? fd_ : -1; }

    bool AnswerCall() override {
        int call = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (call < 0) return false;
        // Abstract sockets carry no permissions: only the same user's copies are answered.
        ucred peer{};
        socklen_t size = sizeof peer;
        const bool ours =
            getsockopt(call, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
        close(call);
        return ours;
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<SingleInstanceLock> AcquireSingleInstanceLock() {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    sockaddr_un address;
    socklen_t size = LockAddress(&address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<AbstractSocketLock>(fd);
}

bool CallRunningCopy() {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address;
    socklen_t size = LockAddress(&address);
    // A copy that takes no calls has not called listen: the connection is refused at once.
    const bool taken = connect(fd, reinterpret_cast<sockaddr*>(&address), size) == 0;
    close(fd);
    return taken;
}
