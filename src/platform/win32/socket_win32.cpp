#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

#include "platform/socket.h"

namespace {

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }

SocketHandle Handle(SOCKET s) {
    return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
}

sockaddr_in MakeAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = address;
    sa.sin_port = htons(port);
    return sa;
}

}  // namespace

int SocketLibraryStartup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0 ? 0 : -1;
}

void SocketLibraryCleanup() { WSACleanup(); }

int SocketLastError() { return WSAGetLastError(); }

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

SocketHandle OpenTcpSocket() { return Handle(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

SocketHandle OpenUdpSocket4() { return Handle(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)); }

void CloseSocket(SocketHandle s) {
    if (s != kNoSocket) closesocket(Sock(s));
}

void AbortConnection(SocketHandle s) {
    if (s == kNoSocket) return;
    shutdown(Sock(s), SD_BOTH);
    // shutdown leaves a send that waits for room waiting; cancelling the socket's pending I/O
    // ends it (with WSA_OPERATION_ABORTED), from whichever thread issued it.
    CancelIoEx(reinterpret_cast<HANDLE>(Sock(s)), nullptr);
}

bool SetSendTimeout(SocketHandle s, int timeoutMs) {
    DWORD ms = static_cast<DWORD>(timeoutMs);
    return setsockopt(Sock(s), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms),
                      sizeof ms) == 0;
}

bool SetReuseAddress(SocketHandle s) {
    BOOL on = TRUE;
    return setsockopt(Sock(s), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                      sizeof on) == 0;
}

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

bool BindSocket(SocketHandle s, std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa = MakeAddress(address, port);
    return bind(Sock(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool ListenSocket(SocketHandle s, int backlog) { return listen(Sock(s), backlog) == 0; }

SocketHandle AcceptSocket(SocketHandle listener, Ipv4Endpoint* peer) {
    sockaddr_in sa{};
    int len = sizeof sa;
    SOCKET s = accept(Sock(listener), reinterpret_cast<sockaddr*>(&sa), &len);
    if (s == INVALID_SOCKET) return kNoSocket;
    if (peer != nullptr) {
        peer->address = sa.sin_addr.s_addr;
        peer->port = ntohs(sa.sin_port);
    }
    return Handle(s);
}

bool ConnectSocket(SocketHandle s, const Ipv4Endpoint& to) {
    sockaddr_in sa = MakeAddress(to.address, to.port);
    return connect(Sock(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

ConnectResult ConnectWithin(SocketHandle s, const Ipv4Endpoint& to, int timeoutMs) {
    u_long nonBlocking = 1;
    if (ioctlsocket(Sock(s), FIONBIO, &nonBlocking) != 0) return ConnectResult::kFailed;
    sockaddr_in sa = MakeAddress(to.address, to.port);
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

std::uint16_t LocalPort(SocketHandle s) {
    sockaddr_in sa{};
    int len = sizeof sa;
    if (getsockname(Sock(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

int WaitReadable(SocketHandle s, int timeoutMs) {
    bool readable = false;
    return WaitReadableAny(&s, &readable, 1, timeoutMs);
}

int WaitReadableAny(const SocketHandle* sockets, bool* readable, int count, int timeoutMs) {
    // Winsock's fd_set is a counted array (FD_SETSIZE 64 by default), not a bit mask.
    if (count > FD_SETSIZE) count = FD_SETSIZE;
    fd_set set;
    FD_ZERO(&set);
    for (int i = 0; i < count; ++i) {
        readable[i] = false;
        FD_SET(Sock(sockets[i]), &set);
    }
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int n = select(0, &set, nullptr, nullptr, &tv);
    if (n == SOCKET_ERROR) return -1;
    for (int i = 0; i < count; ++i) readable[i] = FD_ISSET(Sock(sockets[i]), &set) != 0;
    return n;
}

int ReceiveSome(SocketHandle s, char* buffer, int length) {
    int n = recv(Sock(s), buffer, length, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int SendAll(SocketHandle s, const char* data, int length) {
    int sent = 0;
    while (sent < length) {
        int n = send(Sock(s), data + sent, length - sent, 0);
        if (n == SOCKET_ERROR || n == 0) return -1;
        sent += n;
    }
    return sent;
}

int ReceiveDatagram(SocketHandle s, char* buffer, int length, Ipv4Endpoint* from) {
    sockaddr_in sa{};
    int len = sizeof sa;
    int n = recvfrom(Sock(s), buffer, length, 0, reinterpret_cast<sockaddr*>(&sa), &len);
    if (n == SOCKET_ERROR) {
        // A datagram longer than the buffer arrives cut; that is what we want.
        if (WSAGetLastError() != WSAEMSGSIZE) return -1;
        n = length;
    }
    if (from != nullptr) {
        from->address = sa.sin_addr.s_addr;
        from->port = ntohs(sa.sin_port);
    }
    return n;
}

int SendDatagram(SocketHandle s, const char* data, int length, const Ipv4Endpoint& to) {
    sockaddr_in sa = MakeAddress(to.address, to.port);
    int n = sendto(Sock(s), data, length, 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    return n == SOCKET_ERROR ? -1 : n;
}

bool ParseIpv4(const char* text, std::uint32_t* address) {
    if (text == nullptr) return false;
    unsigned long a = inet_addr(text);
    // inet_addr cannot tell 255.255.255.255 from an error; accept it only when spelled out.
    if (a == INADDR_NONE && std::string(text) != "255.255.255.255") return false;
    *address = static_cast<std::uint32_t>(a);
    return true;
}

std::string FormatIpv4(std::uint32_t address) {
    in_addr a{};
    a.s_addr = address;
    const char* text = inet_ntoa(a);
    return text != nullptr ? text : "";
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
