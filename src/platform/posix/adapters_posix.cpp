#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <sys/socket.h>

#include <ifaddrs.h>

#include <algorithm>
#include <cstring>

#include "platform/adapters.h"
#include "platform/socket.h"

AdapterTableResult ReadAdapterTable(std::vector<AdapterInfo>* adapters) {
    adapters->clear();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return AdapterTableResult::kReadFailed;
    struct Entry {
        unsigned index;
        AdapterInfo info;
    };
    std::vector<Entry> entries;
    auto entryFor = [&](const char* name) -> AdapterInfo& {
        for (Entry& e : entries) {
            if (e.info.name == name) return e.info;
        }
        Entry e{if_nametoindex(name), AdapterInfo{}};
        e.info.name = name;
        e.info.description = name;
        e.info.firstAddress = "0.0.0.0";
        entries.push_back(e);
        return entries.back().info;
    };
    // getifaddrs lists link-layer entries first, then addresses in the kernel's order, which
    // puts an interface's primary IPv4 address before its secondary ones.
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_name == nullptr) continue;
        AdapterInfo& info = entryFor(a->ifa_name);
        if (a->ifa_addr == nullptr) continue;
        if (a->ifa_addr->sa_family == AF_INET && info.firstAddress == "0.0.0.0") {
            info.firstAddress =
                FormatIpv4(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
        } else if (a->ifa_addr->sa_family == AF_PACKET) {
            auto* ll = reinterpret_cast<sockaddr_ll*>(a->ifa_addr);
            unsigned n = std::min<unsigned>(ll->sll_halen, sizeof info.hardwareAddress);
            std::memcpy(info.hardwareAddress, ll->sll_addr, n);
            info.hardwareAddressLength = n;
        }
    }
    freeifaddrs(list);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.index < b.index; });
    for (Entry& e : entries) adapters->push_back(std::move(e.info));
    return AdapterTableResult::kOk;
}
