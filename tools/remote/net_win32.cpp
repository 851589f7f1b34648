#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "remote/net.h"

namespace {

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }

}  // namespace

bool EnableBroadcast(SocketHandle s) {
    BOOL on = TRUE;
    return setsockopt(Sock(s), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                      sizeof on) == 0;
}

bool SetMulticastTtl(SocketHandle s, int ttl) {
    DWORD value = static_cast<DWORD>(ttl);
    return setsockopt(Sock(s), IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&value),
                      sizeof value) == 0;
}

ConnectResult ConnectWithin(SocketHandle s, const Ipv4Endpoint& to, int timeoutMs) {
    u_long nonBlocking = 1;
    if (ioctlsocket(Sock(s), FIONBIO, &nonBlocking) != 0) return ConnectResult::kFailed;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = to.address;
    sa.sin_port = htons(to.port);
    int error = 0;
    if (connect(Sock(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(Sock(s), &writable);
            FD_SET(Sock(s), &failed);
            timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
            int ready = select(0, nullptr, &writable, &failed, &timeout);
            if (ready == 0) {
                nonBlocking = 0;
                ioctlsocket(Sock(s), FIONBIO, &nonBlocking);
                return ConnectResult::kTimedOut;
            }
            error = 0;
            if (ready < 0) {
                error = WSAGetLastError();
            } else if (FD_ISSET(Sock(s), &failed)) {
                int length = sizeof error;
                if (getsockopt(Sock(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                               &length) != 0) {
                    error = WSAGetLastError();
                }
            }
        }
    }
    nonBlocking = 0;
    ioctlsocket(Sock(s), FIONBIO, &nonBlocking);
    WSASetLastError(error);
    if (error == 0) return ConnectResult::kConnected;
    if (error == WSAECONNREFUSED) return ConnectResult::kRefused;
    if (error == WSAETIMEDOUT) return ConnectResult::kTimedOut;
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

std::string SocketErrorText(int code) {
    char text[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) {
        text[--n] = '\0';
    }
    if (n == 0) return "error " + std::to_string(code);
    return text;
}
