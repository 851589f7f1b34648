// Wireless interfaces on Linux: those with a "wireless" folder under /sys/class/net/<name>/.
#pragma once

#include <string>
#include <vector>

#include "platform/network_addresses.h"

// ReadWirelessInterfaces on another sysfs class folder (for tests). Returns -1 when the folder
// cannot be read or no socket for the wireless queries can be opened.
int ReadWirelessInterfacesUnder(const std::string& classNetDir,
                                std::vector<WirelessInterface>* interfaces);

// The network name of a connected wireless interface, asked with the wireless-extensions
// query, which needs no privilege. False when the interface is not connected or does not
// answer. `socket` is any open IPv4 datagram socket.
bool QueryNetworkName(int socket, const std::string& interfaceName, std::string* name);
