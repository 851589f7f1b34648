#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "remote/net.h"

namespace {

int Fd(SocketHandle s) { return static_cast<int>(s); }

}  // namespace

bool EnableBroadcast(SocketHandle s) {
    int on = 1;
    return setsockopt(Fd(s), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

bool SetMulticastTtl(SocketHandle s, int ttl) {
    return setsockopt(Fd(s), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) == 0;
}

ConnectResult ConnectWithin(SocketHandle s, const Ipv4Endpoint& to, int timeoutMs) {
    int flags = fcntl(Fd(s), F_GETFL);
    if (flags < 0 || fcntl(Fd(s), F_SETFL, flags | O_NONBLOCK) != 0) return ConnectResult::kFailed;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = to.address;
    sa.sin_port = htons(to.port);
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

std::string SocketErrorText(int code) { return std::strerror(code); }
