#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/single_instance.h"

namespace {

// An abstract unix socket: it exists only while its owner process lives, so a crash can never
// leave a stale lock behind, and nothing is written to the file system.
class AbstractSocketLock : public SingleInstanceLock {
public:
    explicit AbstractSocketLock(int fd) : fd_(fd) {}
    ~AbstractSocketLock() override { close(fd_); }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<SingleInstanceLock> AcquireSingleInstanceLock() {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    char name[64];
    int length =
        std::snprintf(name, sizeof name, "CorvaneServer.%u", static_cast<unsigned>(getuid()));
    std::memcpy(address.sun_path + 1, name, static_cast<size_t>(length));  // sun_path[0] = 0
    socklen_t size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<AbstractSocketLock>(fd);
}
