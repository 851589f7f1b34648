// Per-interface multicast receive sockets for discovery.
#pragma once

#include <cstdint>

#include "platform/socket.h"

// Binds a fresh datagram socket so that it receives, on the interface with address `iface`,
// the group's datagrams and unicast datagrams for `port`. Windows binds to the interface's
// own address; Linux, where a socket bound to a unicast address gets no group traffic, binds to
// the port on the interface's device. Returns false with the last error set.
bool BindMulticastReceiver(SocketHandle s, std::uint32_t iface, std::uint16_t port);

// Group membership options; each returns false with the last error set.
bool DropMembership(SocketHandle s, std::uint32_t group, std::uint32_t iface);
bool SetMulticastInterface(SocketHandle s, std::uint32_t iface);
bool AddMembership(SocketHandle s, std::uint32_t group, std::uint32_t iface);

// Sends a reply that leaves through the interface `iface` with that interface's address as its
// source, whatever the routing table would pick.
int SendDatagramFrom(SocketHandle s, const char* data, int length, const Ipv4Endpoint& to,
                     std::uint32_t iface);
