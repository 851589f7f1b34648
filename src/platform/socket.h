// IPv4 sockets as the service uses them: Winsock 2 on Windows, BSD sockets elsewhere.
// Addresses are 32-bit values in network byte order; ports are host order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

struct Ipv4Endpoint {
    std::uint32_t address = 0;  // network byte order
    std::uint16_t port = 0;     // host byte order
};

// Process-wide set-up before the first socket (Winsock 2.2; on POSIX: no SIGPIPE, a raised
// open-file limit). Returns 0 or -1. Idempotent; call from the main thread.
int SocketLibraryStartup();
void SocketLibraryCleanup();

// The socket library's last error code of the calling thread (WSAGetLastError / errno).
int SocketLastError();
// The system's text for such a code.
std::string SocketErrorText(int code);

SocketHandle OpenTcpSocket();
SocketHandle OpenUdpSocket4();
// Closes the socket; a thread blocked waiting on it wakes up.
void CloseSocket(SocketHandle s);
// Ends both directions of a connection without releasing the handle: a thread blocked on it in
// a wait, a receive or a send returns at once (the send with a failure). Its owner still closes
// it. Any thread.
void AbortConnection(SocketHandle s);
// Gives blocking sends on the socket a time-out: a send that cannot go on for that long fails,
// and the connection is beyond use afterwards. False when the system refused the option.
bool SetSendTimeout(SocketHandle s, int timeoutMs);

bool SetReuseAddress(SocketHandle s);
// Datagram options for probes; false with the last error set.
bool EnableBroadcast(SocketHandle s);
bool SetMulticastTtl(SocketHandle s, int ttl);
bool BindSocket(SocketHandle s, std::uint32_t address, std::uint16_t port);
bool ListenSocket(SocketHandle s, int backlog);
SocketHandle AcceptSocket(SocketHandle listener, Ipv4Endpoint* peer);
// Blocking connect (for clients and tests).
bool ConnectSocket(SocketHandle s, const Ipv4Endpoint& to);
enum class ConnectResult { kConnected, kRefused, kTimedOut, kFailed };
// Connects, giving up after `timeoutMs`; the socket is blocking again afterwards. On kFailed
// the last error tells why.
ConnectResult ConnectWithin(SocketHandle s, const Ipv4Endpoint& to, int timeoutMs);
// Port a socket is bound to (for ephemeral ports), 0 on failure.
std::uint16_t LocalPort(SocketHandle s);

// Waits up to timeoutMs for one socket to become readable: 1 readable, 0 timed out, -1 failed.
int WaitReadable(SocketHandle s, int timeoutMs);
// The same for several sockets; readable[i] tells which. Returns the count, 0, or -1.
int WaitReadableAny(const SocketHandle* sockets, bool* readable, int count, int timeoutMs);

// Return bytes moved, 0 for an orderly close, -1 on error.
int ReceiveSome(SocketHandle s, char* buffer, int length);
int SendAll(SocketHandle s, const char* data, int length);
int ReceiveDatagram(SocketHandle s, char* buffer, int length, Ipv4Endpoint* from);
int SendDatagram(SocketHandle s, const char* data, int length, const Ipv4Endpoint& to);

// Classic dotted-address conversions (inet_addr semantics: false for text that is not one).
bool ParseIpv4(const char* text, std::uint32_t* address);
std::string FormatIpv4(std::uint32_t address);
// A dotted IPv4 address or a host name; false when it does not resolve to an IPv4 address.
bool ResolveIpv4(const std::string& host, std::uint32_t* address);
