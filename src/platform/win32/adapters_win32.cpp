#include <winsock2.h>

#include <iphlpapi.h>

#include <cstring>
#include <vector>

#include "platform/adapters.h"

AdapterTableResult ReadAdapterTable(std::vector<AdapterInfo>* adapters) {
    adapters->clear();
    ULONG size = 0;
    GetAdaptersInfo(nullptr, &size);
    if (size == 0) return AdapterTableResult::kSizeUnknown;
    std::vector<unsigned char> buffer(size, 0);
    auto* table = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(table, &size) != ERROR_SUCCESS) return AdapterTableResult::kReadFailed;
    for (IP_ADAPTER_INFO* a = table; a != nullptr; a = a->Next) {
        AdapterInfo info;
        info.name = a->AdapterName;
        info.description = a->Description;
        info.firstAddress = a->IpAddressList.IpAddress.String;
        unsigned n = a->AddressLength < sizeof info.hardwareAddress ? a->AddressLength
                                                                    : sizeof info.hardwareAddress;
        std::memcpy(info.hardwareAddress, a->Address, n);
        info.hardwareAddressLength = n;
        adapters->push_back(info);
    }
    return AdapterTableResult::kOk;
}
