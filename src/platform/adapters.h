// The network adapter table: every adapter in system order with its first IPv4 address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct AdapterInfo {
    std::string name;          // system name (Windows adapter GUID, Linux interface name)
    std::string description;   // text to show a user
    std::string firstAddress;  // first IPv4 address as dotted text, "0.0.0.0" when none
    unsigned char hardwareAddress[8] = {};
    unsigned hardwareAddressLength = 0;
};

enum class AdapterTableResult { kOk, kSizeUnknown, kReadFailed };

// Fills `adapters` in the system's adapter order. Any thread.
AdapterTableResult ReadAdapterTable(std::vector<AdapterInfo>* adapters);
