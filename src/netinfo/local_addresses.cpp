#include "netinfo/local_addresses.h"

#include <cstdint>

#include "platform/socket.h"

namespace {

// Letter case is ignored for ASCII letters only, byte by byte.
bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool IsListedAddress(const std::string& text) {
    std::uint32_t value = 0;
    // Text that is no address converts to all ones, like the broadcast address.
    if (!ParseIpv4(text.c_str(), &value)) return false;
    std::uint32_t loopback = 0;
    ParseIpv4("127.0.0.1", &loopback);
    return value != 0 && value != 0xFFFFFFFFu && value != loopback;
}

void AppendAdapterAddresses(const std::vector<AdapterAddresses>& adapters, LocalAddressList* list) {
    for (const AdapterAddresses& adapter : adapters) {
        for (const std::string& address : adapter.addresses) {
            if (IsListedAddress(address)) list->push_back({address, adapter.description, ""});
        }
    }
}

void ApplyWirelessInterfaces(const std::vector<WirelessInterface>& interfaces,
                             LocalAddressList* list) {
    for (const WirelessInterface& wireless : interfaces) {
        // Only the first entry of the adapter gets the name, even when it has several addresses.
        LocalAddress* entry = nullptr;
        for (LocalAddress& candidate : *list) {
            if (EqualIgnoringCase(candidate.adapterDescription, wireless.description)) {
                entry = &candidate;
                break;
            }
        }
        if (entry == nullptr) {
            list->push_back({"0.0.0.0", wireless.description, ""});
            entry = &list->back();
        }
        entry->wirelessNetwork = wireless.connected ? wireless.networkName : std::string();
    }
}

void EnumerateLocalAddresses(LocalAddressList* list, const AdapterAddressReader& read) {
    std::vector<AdapterAddresses> adapters;
    if (!read(&adapters)) return;
    AppendAdapterAddresses(adapters, list);
}

int AddWirelessInfo(LocalAddressList* list, const WirelessInterfaceReader& read) {
    std::vector<WirelessInterface> interfaces;
    if (read(&interfaces) != 0) return -1;
    ApplyWirelessInterfaces(interfaces, list);
    return 0;
}

AddressSummary SummarizeAddresses(const LocalAddressList& list, const std::string& multipleText) {
    if (list.empty()) return {kNoLocalIpText, false};
    if (list.size() == 1) return {list.front().address, true};
    return {multipleText, true};
}

std::vector<LocalAddress> AddressDetailRows(const LocalAddressList& list) {
    return std::vector<LocalAddress>(list.rbegin(), list.rend());
}
