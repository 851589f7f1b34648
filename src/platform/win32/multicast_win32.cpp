#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/multicast.h"

namespace {

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }

ip_mreq Membership(std::uint32_t group, std::uint32_t iface) {
    ip_mreq m{};
    m.imr_multiaddr.s_addr = group;
    m.imr_interface.s_addr = iface;
    return m;
}

}  // namespace

bool BindMulticastReceiver(SocketHandle s, std::uint32_t iface, std::uint16_t port) {
    // On Windows a socket bound to the interface's own address receives that interface's
    // group datagrams.
    return BindSocket(s, iface, port);
}

bool DropMembership(SocketHandle s, std::uint32_t group, std::uint32_t iface) {
    ip_mreq m = Membership(group, iface);
    return setsockopt(Sock(s), IPPROTO_IP, IP_DROP_MEMBERSHIP, reinterpret_cast<const char*>(&m),
                      sizeof m) == 0;
}

bool SetMulticastInterface(SocketHandle s, std::uint32_t iface) {
    in_addr a{};
    a.s_addr = iface;
    return setsockopt(Sock(s), IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&a),
                      sizeof a) == 0;
}

bool AddMembership(SocketHandle s, std::uint32_t group, std::uint32_t iface) {
    ip_mreq m = Membership(group, iface);
    return setsockopt(Sock(s), IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&m),
                      sizeof m) == 0;
}

int SendDatagramFrom(SocketHandle s, const char* data, int length, const Ipv4Endpoint& to,
                     std::uint32_t /*iface: the socket is bound to it*/) {
    return SendDatagram(s, data, length, to);
}
