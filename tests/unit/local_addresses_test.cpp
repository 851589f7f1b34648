#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "netinfo/local_addresses.h"
#if !defined(_WIN32)
#include <unistd.h>

#include "platform/posix/wireless_posix.h"
#endif

namespace {

std::vector<std::string> Addresses(const LocalAddressList& list) {
    std::vector<std::string> out;
    for (const LocalAddress& e : list) out.push_back(e.address);
    return out;
}

LocalAddressList Build(const std::vector<AdapterAddresses>& adapters) {
    LocalAddressList list;
    EnumerateLocalAddresses(&list, [&](std::vector<AdapterAddresses>* out) {
        *out = adapters;
        return true;
    });
    return list;
}

}  // namespace

TEST(LocalAddresses, EveryAddressOfEveryAdapterInSystemOrder) {
    LocalAddressList list = Build({{"Realtek PCIe GbE", {"192.168.1.20", "10.0.0.5"}},
                                   {"Hyper-V Virtual Ethernet", {"172.20.0.1"}}});
    ASSERT_EQ(list.size(), 3u);
    auto it = list.begin();
    EXPECT_EQ(it->address, "192.168.1.20");
    EXPECT_EQ(it->adapterDescription, "Realtek PCIe GbE");
    ++it;
    EXPECT_EQ(it->address, "10.0.0.5");
    EXPECT_EQ(it->adapterDescription, "Realtek PCIe GbE");
    ++it;
    EXPECT_EQ(it->address, "172.20.0.1");
    EXPECT_EQ(it->adapterDescription, "Hyper-V Virtual Ethernet");
    for (const LocalAddress& e : list) EXPECT_EQ(e.wirelessNetwork, "");
    EXPECT_EQ(SummarizeAddresses(list).text, "Multiple IP Address");
    EXPECT_TRUE(SummarizeAddresses(list).detailsVisible);
}

TEST(LocalAddresses, SkipsNoAddressBroadcastLoopbackAndNonsense) {
    LocalAddressList list =
        Build({{"Loopback", {"127.0.0.1"}},
               {"Ethernet", {"0.0.0.0", "255.255.255.255", "not an address", "", "10.1.2.3"}},
               // Other loopback-range addresses are real addresses of the machine.
               {"Tunnel", {"127.0.0.2"}}});
    EXPECT_EQ(Addresses(list), (std::vector<std::string>{"10.1.2.3", "127.0.0.2"}));
    // Appends: what the list held before stays in front.
    LocalAddressList more = {{"192.168.0.9", "Old", ""}};
    EnumerateLocalAddresses(&more, [](std::vector<AdapterAddresses>* out) {
        *out = {{"Ethernet", {"10.9.9.9"}}};
        return true;
    });
    EXPECT_EQ(Addresses(more), (std::vector<std::string>{"192.168.0.9", "10.9.9.9"}));
}

TEST(LocalAddresses, OnlyUnconfiguredAndLoopbackMeansNoLocalIp) {
    LocalAddressList list = Build({{"Ethernet", {"0.0.0.0"}},
                                   {"Wi-Fi", {"0.0.0.0"}},
                                   {"Loopback Pseudo-Interface", {"127.0.0.1"}}});
    EXPECT_TRUE(list.empty());
    AddressSummary summary = SummarizeAddresses(list, "本机有多个IP地址");
    EXPECT_EQ(summary.text, "No Local IP");
    EXPECT_FALSE(summary.detailsVisible);
}

TEST(LocalAddresses, UnreadableAdapterTableLeavesTheListAlone) {
    LocalAddressList list = {{"192.168.0.9", "Old", ""}};
    EnumerateLocalAddresses(&list, [](std::vector<AdapterAddresses>* out) {
        *out = {{"Ethernet", {"10.9.9.9"}}};  // whatever a failed read left behind is ignored
        return false;
    });
    EXPECT_EQ(Addresses(list), (std::vector<std::string>{"192.168.0.9"}));
}

TEST(LocalAddresses, SummaryOfOneAddressIsThatAddress) {
    LocalAddressList list = Build({{"Ethernet", {"0.0.0.0"}}, {"Wi-Fi", {"192.168.43.7"}}});
    AddressSummary summary = SummarizeAddresses(list, "本机有多个IP地址");
    EXPECT_EQ(summary.text, "192.168.43.7");
    EXPECT_TRUE(summary.detailsVisible);
    list.push_back({"10.0.0.1", "Other", ""});
    EXPECT_EQ(SummarizeAddresses(list, "本机有多个IP地址").text, "本机有多个IP地址");
}

TEST(LocalAddresses, DetailRowsShowTheLastEntryFirst) {
    LocalAddressList list = {
        {"1.1.1.1", "first", ""}, {"2.2.2.2", "second", "Hall"}, {"0.0.0.0", "third", ""}};
    std::vector<LocalAddress> rows = AddressDetailRows(list);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].adapterDescription, "third");
    EXPECT_EQ(rows[1].wirelessNetwork, "Hall");
    EXPECT_EQ(rows[2].address, "1.1.1.1");
    EXPECT_TRUE(AddressDetailRows({}).empty());
}

TEST(WirelessInfo, NamesTheFirstEntryOfTheMatchingAdapterIgnoringCase) {
    LocalAddressList list = Build({{"Ethernet", {"192.168.1.20"}},
                                   {"Intel(R) Wi-Fi 6 AX201 160MHz", {"10.0.0.8", "10.0.0.9"}}});
    int result = AddWirelessInfo(&list, [](std::vector<WirelessInterface>* out) {
        *out = {{"INTEL(R) WI-FI 6 ax201 160mhz", true, "HomeNet"}};
        return 0;
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(list.size(), 3u);
    auto it = list.begin();
    EXPECT_EQ(it->wirelessNetwork, "");
    ++it;
    EXPECT_EQ(it->address, "10.0.0.8");
    EXPECT_EQ(it->wirelessNetwork, "HomeNet");
    // The adapter keeps the description it was listed with.
    EXPECT_EQ(it->adapterDescription, "Intel(R) Wi-Fi 6 AX201 160MHz");
    ++it;
    EXPECT_EQ(it->address, "10.0.0.9");
    EXPECT_EQ(it->wirelessNetwork, "");
}

TEST(WirelessInfo, InterfacesWithoutAnAddressAreAppendedAsUnconfigured) {
    // The disconnected adapter reported "0.0.0.0", so it is missing from the first pass.
    LocalAddressList list = Build({{"Ethernet", {"192.168.1.20"}}, {"Wi-Fi Adapter", {"0.0.0.0"}}});
    ASSERT_EQ(list.size(), 1u);
    int result = AddWirelessInfo(&list, [](std::vector<WirelessInterface>* out) {
        *out = {{"Wi-Fi Adapter", false, "StaleName"},
                {"USB Wireless", true, "Cafe"},
                {"usb wireless", true, "Second"}};
        return 0;
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(list.size(), 3u);
    auto it = list.begin();
    ++it;
    EXPECT_EQ(it->address, "0.0.0.0");
    EXPECT_EQ(it->adapterDescription, "Wi-Fi Adapter");
    // Not connected: no name, whatever the interface reported.
    EXPECT_EQ(it->wirelessNetwork, "");
    ++it;
    EXPECT_EQ(it->address, "0.0.0.0");
    EXPECT_EQ(it->adapterDescription, "USB Wireless");
    // A later interface with the same description finds the appended entry.
    EXPECT_EQ(it->wirelessNetwork, "Second");
}

TEST(WirelessInfo, RepeatedPassClearsNamesOfDisconnectedAdapters) {
    LocalAddressList list = Build({{"Wi-Fi", {"10.0.0.8"}}});
    AddWirelessInfo(&list, [](std::vector<WirelessInterface>* out) {
        *out = {{"Wi-Fi", true, "HomeNet"}};
        return 0;
    });
    AddWirelessInfo(&list, [](std::vector<WirelessInterface>* out) {
        *out = {{"Wi-Fi", false, ""}};
        return 0;
    });
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front().wirelessNetwork, "");
}

TEST(WirelessInfo, UnusableWirelessServiceLeavesTheListAsItWas) {
    LocalAddressList list = Build({{"Ethernet", {"192.168.1.20"}}, {"Wi-Fi", {"10.0.0.8"}}});
    int result = AddWirelessInfo(&list, [](std::vector<WirelessInterface>* out) {
        *out = {{"Wi-Fi", true, "HomeNet"}, {"Other", false, ""}};
        return -1;
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Addresses(list), (std::vector<std::string>{"192.168.1.20", "10.0.0.8"}));
    for (const LocalAddress& e : list) EXPECT_EQ(e.wirelessNetwork, "");
}

// The real system: whatever it has, the rules hold and nothing crashes.
TEST(LocalAddressesOnThisSystem, ListsUsableAddressesOnly) {
    std::vector<AdapterAddresses> raw;
    bool read = ReadAdapterAddresses(&raw);
    LocalAddressList list;
    EnumerateLocalAddresses(&list);
    if (!read) {
        EXPECT_TRUE(list.empty());
    }
    for (const LocalAddress& e : list) {
        EXPECT_NE(e.address, "127.0.0.1");
        EXPECT_TRUE(IsListedAddress(e.address)) << e.address;
        EXPECT_FALSE(e.adapterDescription.empty());
        EXPECT_EQ(e.wirelessNetwork, "");
    }
#if !defined(_WIN32)
    // Linux always has its loopback interface; it is read but never listed.
    bool loopbackSeen = false;
    for (const AdapterAddresses& a : raw) loopbackSeen |= a.description == "lo";
    EXPECT_TRUE(read);
    EXPECT_TRUE(loopbackSeen);
    for (const LocalAddress& e : list) EXPECT_NE(e.adapterDescription, "lo");
#endif
    const size_t before = list.size();
    int wireless = AddWirelessInfo(&list);
    EXPECT_TRUE(wireless == 0 || wireless == -1) << wireless;
    if (wireless == -1) {
        EXPECT_EQ(list.size(), before);
    }
    // Only entries for adapters without a usable address are added, at the end.
    size_t index = 0;
    for (const LocalAddress& e : list) {
        if (index++ >= before) {
            EXPECT_EQ(e.address, "0.0.0.0");
        }
    }
}

#if !defined(_WIN32)
TEST(LinuxWirelessInterfaces, WirelessAreThoseWithAWirelessFolder) {
    namespace fs = std::filesystem;
    const fs::path root =
        fs::temp_directory_path() / ("corvane-class-net-" + std::to_string(getpid()));
    fs::remove_all(root);
    // Names no machine has, so the network-name query finds no such interface.
    fs::create_directories(root / "zzwl1" / "wireless");
    fs::create_directories(root / "zzwl0" / "wireless");
    fs::create_directories(root / "zzeth0" / "statistics");
    std::vector<WirelessInterface> found;
    EXPECT_EQ(ReadWirelessInterfacesUnder(root.string(), &found), 0);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].description, "zzwl0");
    EXPECT_EQ(found[1].description, "zzwl1");
    for (const WirelessInterface& w : found) {
        EXPECT_FALSE(w.connected);
        EXPECT_EQ(w.networkName, "");
    }
    fs::remove_all(root);
    found.push_back({"stale", true, "x"});
    EXPECT_EQ(ReadWirelessInterfacesUnder(root.string(), &found), -1);
    EXPECT_TRUE(found.empty());
}
#endif
