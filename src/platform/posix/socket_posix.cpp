#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/socket.h"

namespace {

int Fd(SocketHandle s) { return static_cast<int>(s); }

sockaddr_in MakeAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = htons(port);
    return sa;
}

}  // namespace

int SocketLibraryStartup() {
    // A peer that vanishes must not kill the process through a write.
    signal(SIGPIPE, SIG_IGN);
    // Every phone holds a connection: allow as many descriptors as the system lets us.
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    return 0;
}

void SocketLibraryCleanup() {}

int SocketLastError() { return errno; }

std::string SocketErrorText(int code) { return std::strerror(code); }

SocketHandle OpenTcpSocket() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kNoSocket : fd;
}

SocketHandle OpenUdpSocket4() {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? kNoSocket : fd;
}

void CloseSocket(SocketHandle s) {
    if (s == kNoSocket) return;
    // shutdown wakes a thread that waits on the socket in poll; close alone would not.
    shutdown(Fd(s), SHUT_RDWR);
    close(Fd(s));
}

void AbortConnection(SocketHandle s) {
    // shutdown wakes waiters in poll and senders blocked for room (they fail with EPIPE).
    if (s != kNoSocket) shutdown(Fd(s), SHUT_RDWR);
}

bool SetSendTimeout(SocketHandle s, int timeoutMs) {
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return setsockopt(Fd(s), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

bool SetReuseAddress(SocketHandle s) {
    int on = 1;
    return setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
}

bool EnableBroadcast(SocketHandle s) {
    int on = 1;
    return setsockopt(Fd(s), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

bool SetMulticastTtl(SocketHandle s, int ttl) {
    return setsockopt(Fd(s), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) == 0;
}

bool BindSocket(SocketHandle s, std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa = MakeAddress(address, port);
    return bind(Fd(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool ListenSocket(SocketHandle s, int backlog) { return listen(Fd(s), backlog) == 0; }

SocketHandle AcceptSocket(SocketHandle listener, Ipv4Endpoint* peer) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    int fd = accept4(Fd(listener), reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
    if (fd < 0) return kNoSocket;
    if (peer != nullptr) {
        peer->address = sa.sin_addr.s_addr;
        peer->port = ntohs(sa.sin_port);
    }
    return fd;
}

bool ConnectSocket(SocketHandle s, const Ipv4Endpoint& to) {
    sockaddr_in sa = MakeAddress(to.address, to.port);
    return connect(Fd(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

ConnectResult ConnectWithin(SocketHandle s, const Ipv4Endpoint& to, int timeoutMs) {
    int flags = fcntl(Fd(s), F_GETFL);
    if (flags < 0 || fcntl(Fd(s), F_SETFL, flags | O_NONBLOCK) != 0) return ConnectResult::kFailed;
    sockaddr_in sa = MakeAddress(to.address, to.port);
    int error = 0;
    if (connect(Fd(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd p{Fd(s), POLLOUT, 0};
            int ready;
            do {
                ready = poll(&p, 1, timeoutMs);
            } while (ready < 0 && errno == EINTR);
            if (ready == 0) {
                fcntl(Fd(s), F_SETFL, flags);
                return ConnectResult::kTimedOut;
            }
            socklen_t length = sizeof error;
            if (ready < 0) {
                error = errno;
            } else if (getsockopt(Fd(s), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
            }
        }
    }
    fcntl(Fd(s), F_SETFL, flags);
    errno = error;
    if (error == 0) return ConnectResult::kConnected;
    if (error == ECONNREFUSED) return ConnectResult::kRefused;
    if (error == ETIMEDOUT) return ConnectResult::kTimedOut;
    return ConnectResult::kFailed;
}

std::uint16_t LocalPort(SocketHandle s) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getsockname(Fd(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

int WaitReadable(SocketHandle s, int timeoutMs) {
    bool readable = false;
    return WaitReadableAny(&s, &readable, 1, timeoutMs);
}

int WaitReadableAny(const SocketHandle* sockets, bool* readable, int count, int timeoutMs) {
    // poll, not select: descriptors above FD_SETSIZE are normal with many phones connected.
    std::vector<pollfd> fds(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        fds[i].fd = Fd(sockets[i]);
        fds[i].events = POLLIN;
        readable[i] = false;
    }
    int n = poll(fds.data(), fds.size(), timeoutMs);
    if (n < 0) return -1;
    int ready = 0;
    for (int i = 0; i < count; ++i) {
        if (fds[i].revents & POLLNVAL) {
            errno = EBADF;
            return -1;
        }
        if (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) {
            readable[i] = true;
            ++ready;
        }
    }
    return ready;
}

int ReceiveSome(SocketHandle s, char* buffer, int length) {
    ssize_t n;
    do {
        n = recv(Fd(s), buffer, static_cast<size_t>(length), 0);
    } while (n < 0 && errno == EINTR);
    return static_cast<int>(n);
}

int SendAll(SocketHandle s, const char* data, int length) {
    int sent = 0;
    while (sent < length) {
        ssize_t n = send(Fd(s), data + sent, static_cast<size_t>(length - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        sent += static_cast<int>(n);
    }
    return sent;
}

int ReceiveDatagram(SocketHandle s, char* buffer, int length, Ipv4Endpoint* from) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t n;
    do {
        n = recvfrom(Fd(s), buffer, static_cast<size_t>(length), 0,
                     reinterpret_cast<sockaddr*>(&sa), &len);
    } while (n < 0 && errno == EINTR);
    if (n >= 0 && from != nullptr) {
        from->address = sa.sin_addr.s_addr;
        from->port = ntohs(sa.sin_port);
    }
    return static_cast<int>(n);
}

int SendDatagram(SocketHandle s, const char* data, int length, const Ipv4Endpoint& to) {
    sockaddr_in sa = MakeAddress(to.address, to.port);
    return static_cast<int>(sendto(Fd(s), data, static_cast<size_t>(length), MSG_NOSIGNAL,
                                   reinterpret_cast<sockaddr*>(&sa), sizeof sa));
}

bool ParseIpv4(const char* text, std::uint32_t* address) {
    in_addr a{};
    if (text == nullptr || inet_aton(text, &a) == 0) return false;
    *address = a.s_addr;
    return true;
}

std::string FormatIpv4(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

bool ResolveIpv4(const std::string& host, std::uint32_t* address) {
    if (ParseIpv4(host.c_str(), address)) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return false;
    *address = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(list);
    return true;
}
