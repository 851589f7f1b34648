// What the system reports about its network adapters and wireless interfaces, unfiltered.
// The address list the settings page shows is built from these facts in src/netinfo/.
#pragma once

#include <string>
#include <vector>

struct AdapterAddresses {
    // The adapter's text for a user: its product name on Windows, the interface name on Linux.
    std::string description;
    // Dotted IPv4 address texts in the system's order, exactly as reported (including
    // "0.0.0.0" on Windows for an adapter without an address).
    std::vector<std::string> addresses;
};

// Every adapter in the system's order (Linux: interface index order). False when the system's
// table could not be read; `adapters` is then left empty. Any thread.
bool ReadAdapterAddresses(std::vector<AdapterAddresses>* adapters);

struct WirelessInterface {
    // Compared with AdapterAddresses::description to find the adapter's entry.
    std::string description;
    bool connected = false;
    // Name of the network in use (Windows: the connection profile, Linux: the network name);
    // empty when not connected or when the system would not tell.
    std::string networkName;
};

// Every wireless interface in the system's order. Returns 0 (also when there are none), or -1
// when the system's wireless facility cannot be used at all; `interfaces` is then left empty.
// Windows loads its wireless library on the first call and keeps it (a failed load is not
// retried). Any thread.
int ReadWirelessInterfaces(std::vector<WirelessInterface>* interfaces);
