// What the remote needs from the socket library beyond platform/socket.h.
#pragma once

#include <cstdint>
#include <string>

#include "platform/socket.h"

// Datagram socket options for probes; false with the last error set.
bool EnableBroadcast(SocketHandle s);
bool SetMulticastTtl(SocketHandle s, int ttl);

enum class ConnectResult { kConnected, kRefused, kTimedOut, kFailed };
// Connects, giving up after `timeoutMs`; the socket is blocking again afterwards. On kFailed
// the last error tells why.
ConnectResult ConnectWithin(SocketHandle s, const Ipv4Endpoint& to, int timeoutMs);

// A dotted IPv4 address or a host name; false when it does not resolve to an IPv4 address.
bool ResolveIpv4(const std::string& host, std::uint32_t* address);

// The system's text for a socket library error code.
std::string SocketErrorText(int code);
