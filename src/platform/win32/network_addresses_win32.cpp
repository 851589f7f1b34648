#include <winsock2.h>

#include <iphlpapi.h>

#include <vector>

#include "platform/network_addresses.h"

bool ReadAdapterAddresses(std::vector<AdapterAddresses>* adapters) {
    adapters->clear();
    ULONG size = 0;
    GetAdaptersInfo(nullptr, &size);
    if (size == 0) return false;
    std::vector<unsigned char> buffer(size, 0);
    auto* table = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(table, &size) != ERROR_SUCCESS) return false;
    for (const IP_ADAPTER_INFO* a = table; a != nullptr; a = a->Next) {
        AdapterAddresses adapter;
        adapter.description = a->Description;
        for (const IP_ADDR_STRING* ip = &a->IpAddressList; ip != nullptr; ip = ip->Next) {
            adapter.addresses.push_back(ip->IpAddress.String);
        }
        adapters->push_back(std::move(adapter));
    }
    return true;
}
