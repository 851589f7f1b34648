// Wireless interfaces through Native Wifi. wlanapi.dll is loaded at run time: it is missing on
// systems without the wireless LAN service, and the program must start there all the same.
#include <windows.h>

#include <wlanapi.h>

#include <cwchar>
#include <string_view>

#include "platform/network_addresses.h"
#include "platform/text_conversion.h"

namespace {

static_assert(wlan_intf_opcode_current_connection == 7);
static_assert(wlan_interface_state_connected == 1);

using OpenHandleFn = decltype(&WlanOpenHandle);
using CloseHandleFn = decltype(&WlanCloseHandle);
using FreeMemoryFn = decltype(&WlanFreeMemory);
using EnumInterfacesFn = decltype(&WlanEnumInterfaces);
using QueryInterfaceFn = decltype(&WlanQueryInterface);

struct WlanLibrary {
    HMODULE module = nullptr;
    OpenHandleFn open = nullptr;
    CloseHandleFn close = nullptr;
    FreeMemoryFn free = nullptr;
    EnumInterfacesFn enumInterfaces = nullptr;
    QueryInterfaceFn query = nullptr;

    bool Complete() const { return open && close && free && enumInterfaces && query; }
};

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
    // Through void(*)(), the generic function pointer type, so the cast is not flagged.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Loaded on first use and kept for the life of the process; a failed load is not retried.
const WlanLibrary& Library() {
    static const WlanLibrary library = [] {
        WlanLibrary lib;
        lib.module = LoadLibraryA("wlanapi.dll");
        if (lib.module == nullptr) return lib;
        lib.open = Lookup<OpenHandleFn>(lib.module, "WlanOpenHandle");
        lib.close = Lookup<CloseHandleFn>(lib.module, "WlanCloseHandle");
        lib.free = Lookup<FreeMemoryFn>(lib.module, "WlanFreeMemory");
        lib.enumInterfaces = Lookup<EnumInterfacesFn>(lib.module, "WlanEnumInterfaces");
        lib.query = Lookup<QueryInterfaceFn>(lib.module, "WlanQueryInterface");
        return lib;
    }();
    return library;
}

// Native Wifi texts are fixed arrays of 256 UTF-16 units, so their ANSI form stays well under
// the 1 KB the settings page allows for them.
template <size_t N>
std::string AnsiText(const WCHAR (&text)[N]) {
    const size_t length = wcsnlen(text, N);
    return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

}  // namespace

int ReadWirelessInterfaces(std::vector<WirelessInterface>* interfaces) {
    interfaces->clear();
    const WlanLibrary& lib = Library();
    if (lib.module == nullptr || !lib.Complete()) return -1;
    DWORD negotiated = 0;
    HANDLE client = nullptr;
    if (lib.open(1, nullptr, &negotiated, &client) != ERROR_SUCCESS) return -1;
    WLAN_INTERFACE_INFO_LIST* list = nullptr;
    if (lib.enumInterfaces(client, nullptr, &list) != ERROR_SUCCESS) {
        lib.close(client, nullptr);
        return -1;
    }
    for (DWORD i = 0; i < list->dwNumberOfItems; ++i) {
        const WLAN_INTERFACE_INFO& info = list->InterfaceInfo[i];
        WirelessInterface wireless;
        wireless.description = AnsiText(info.strInterfaceDescription);
        wireless.connected = info.isState == wlan_interface_state_connected;
        if (wireless.connected) {
            DWORD size = 0;
            void* data = nullptr;
            WLAN_OPCODE_VALUE_TYPE type{};
            DWORD result =
                lib.query(client, &info.InterfaceGuid, wlan_intf_opcode_current_connection, nullptr,
                          &size, &data, &type);
            if (result == ERROR_SUCCESS && data != nullptr) {
                const auto* attributes = static_cast<const WLAN_CONNECTION_ATTRIBUTES*>(data);
                wireless.networkName = AnsiText(attributes->strProfileName);
            }
            if (data != nullptr) lib.free(data);
        }
        interfaces->push_back(std::move(wireless));
    }
    lib.free(list);
    lib.close(client, nullptr);
    return 0;
}
