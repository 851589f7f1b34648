// The computer's local IPv4 addresses as the settings page and the details dialog show them:
// one entry per usable address of every adapter, optionally with the wireless network names.
// The list is built and used on the user-interface thread; nothing here is shared.
#pragma once

#include <functional>
#include <list>
#include <string>
#include <vector>

#include "platform/network_addresses.h"

// Narrow program text throughout (ANSI code page on Windows, UTF-8 elsewhere).
struct LocalAddress {
    std::string address;             // dotted IPv4 text; "0.0.0.0" for a wireless interface
                                     // that has no usable address
    std::string adapterDescription;  // as the system reports it
    std::string wirelessNetwork;     // empty for wired and disconnected adapters
};

// In the system's adapter order, and within an adapter in the system's address order; entries
// added by the wireless pass come last.
using LocalAddressList = std::list<LocalAddress>;

using AdapterAddressReader = std::function<bool(std::vector<AdapterAddresses>*)>;
using WirelessInterfaceReader = std::function<int(std::vector<WirelessInterface>*)>;

// Appends one entry per usable address of every adapter the system lists. When the system's
// table cannot be read the list is left as it is (nothing is logged).
void EnumerateLocalAddresses(LocalAddressList* list,
                             const AdapterAddressReader& read = ReadAdapterAddresses);

// Adds the wireless network names to a list built by EnumerateLocalAddresses, and an entry for
// every wireless interface that has none yet. Returns 0, or -1 when the system's wireless
// facility cannot be used (the list is then unchanged).
int AddWirelessInfo(LocalAddressList* list,
                    const WirelessInterfaceReader& read = ReadWirelessInterfaces);

// Whether an address text belongs in the list: not one that converts to 0 (no address), to all
// ones (broadcast, or text that is no address at all) or to the loopback address 127.0.0.1.
bool IsListedAddress(const std::string& text);

// The two passes on facts already read (the system-facing functions above use these).
void AppendAdapterAddresses(const std::vector<AdapterAddresses>& adapters, LocalAddressList* list);
void ApplyWirelessInterfaces(const std::vector<WirelessInterface>& interfaces,
                             LocalAddressList* list);

// The details dialog's rows, top to bottom: the list's entries last first (the dialog puts each
// entry it reads at the top).
std::vector<LocalAddress> AddressDetailRows(const LocalAddressList& list);

constexpr const char* kNoLocalIpText = "No Local IP";
constexpr const char* kMultipleAddressesText = "Multiple IP Address";

// What the settings page shows for a list: its address text and whether the details button is
// visible. No entry: "No Local IP", hidden; one: that address, shown; more: `multipleText`
// (the page passes its localised string), shown.
struct AddressSummary {
    std::string text;
    bool detailsVisible = false;
};
AddressSummary SummarizeAddresses(const LocalAddressList& list,
                                  const std::string& multipleText = kMultipleAddressesText);
