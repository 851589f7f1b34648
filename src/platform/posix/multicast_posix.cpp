#include <errno.h>
#include <net/if.h>
#include <netinet/in.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>

#include <ifaddrs.h>

#include "platform/multicast.h"

namespace {

int Fd(SocketHandle s) { return static_cast<int>(s); }

// Index and name of the interface that holds `iface`; 0 when none does.
unsigned InterfaceFor(std::uint32_t iface, char* name, size_t nameSize) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return 0;
    unsigned index = 0;
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        if (reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr != iface) continue;
        index = if_nametoindex(a->ifa_name);
        snprintf(name, nameSize, "%s", a->ifa_name);
        break;
    }
    freeifaddrs(list);
    return index;
}

ip_mreqn Membership(std::uint32_t group, std::uint32_t iface) {
    ip_mreqn m{};
    m.imr_multiaddr.s_addr = group;
    m.imr_address.s_addr = iface;
    return m;
}

}  // namespace

bool BindMulticastReceiver(SocketHandle s, std::uint32_t iface, std::uint16_t port) {
    char name[IF_NAMESIZE] = {};
    if (InterfaceFor(iface, name, sizeof name) == 0) {
        errno = ENODEV;
        return false;
    }
    // Only the memberships this socket made itself, not every group joined by the process.
    int off = 0;
    setsockopt(Fd(s), IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off);
    // Tie the socket to its device so that it sees that interface's datagrams only, direct
    // ones included (all these sockets share the port). Where the system refuses (old kernels
    // without privileges), the membership still limits group traffic to this interface, but a
    // direct probe may land in another interface's socket.
    setsockopt(Fd(s), SOL_SOCKET, SO_BINDTODEVICE, name, static_cast<socklen_t>(strlen(name)));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    sa.sin_port = htons(port);
    return bind(Fd(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool DropMembership(SocketHandle s, std::uint32_t group, std::uint32_t iface) {
    ip_mreqn m = Membership(group, iface);
    return setsockopt(Fd(s), IPPROTO_IP, IP_DROP_MEMBERSHIP, &m, sizeof m) == 0;
}

bool SetMulticastInterface(SocketHandle s, std::uint32_t iface) {
    in_addr a{};
    a.s_addr = iface;
    return setsockopt(Fd(s), IPPROTO_IP, IP_MULTICAST_IF, &a, sizeof a) == 0;
}

bool AddMembership(SocketHandle s, std::uint32_t group, std::uint32_t iface) {
    ip_mreqn m = Membership(group, iface);
    return setsockopt(Fd(s), IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) == 0;
}

int SendDatagramFrom(SocketHandle s, const char* data, int length, const Ipv4Endpoint& to,
                     std::uint32_t iface) {
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_addr.s_addr = to.address;
    dest.sin_port = htons(to.port);
    iovec iov{const_cast<char*>(data), static_cast<size_t>(length)};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = &dest;
    msg.msg_namelen = sizeof dest;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    char name[IF_NAMESIZE] = {};
    info.ipi_ifindex = static_cast<int>(InterfaceFor(iface, name, sizeof name));
    info.ipi_spec_dst.s_addr = iface;  // source address of the reply
    memcpy(CMSG_DATA(c), &info, sizeof info);
    return static_cast<int>(sendmsg(Fd(s), &msg, MSG_NOSIGNAL));
}
