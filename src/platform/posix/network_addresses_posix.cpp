#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <ifaddrs.h>

#include <algorithm>

#include "platform/network_addresses.h"

bool ReadAdapterAddresses(std::vector<AdapterAddresses>* adapters) {
    adapters->clear();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    struct Entry {
        unsigned index;
        AdapterAddresses adapter;
    };
    std::vector<Entry> entries;
    // getifaddrs gives an interface's IPv4 addresses in the kernel's order (primary address
    // first); interfaces are put in index order afterwards, which keeps that order.
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_name == nullptr) continue;
        auto found = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
            return e.adapter.description == a->ifa_name;
        });
        if (found == entries.end()) {
            entries.push_back({if_nametoindex(a->ifa_name), {a->ifa_name, {}}});
            found = entries.end() - 1;
        }
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN] = {};
        const in_addr& address = reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr;
        if (inet_ntop(AF_INET, &address, text, sizeof text) != nullptr) {
            found->adapter.addresses.push_back(text);
        }
    }
    freeifaddrs(list);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.index < b.index; });
    for (Entry& e : entries) adapters->push_back(std::move(e.adapter));
    return true;
}
