// Discovery over real interfaces: the service runs in a namespace of its own and phones probe it
// over veth links, by multicast group, by unicast and by broadcast.
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "netns_fixture.h"
#include "platform/socket.h"

namespace {

using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

constexpr const char* kAnswer = "Vola:00-1A-2B-3C-4D-5E,NETNS-PC,33589\n";

std::function<std::string(int)> Fixed(const std::string& probe) {
    return [probe](int) { return probe; };
}

// "Vola:<tag>-<attempt>,p\n": every datagram sent carries a client id of its own.
std::function<std::string(int)> Numbered(const std::string& tag) {
    return [tag](int attempt) { return "Vola:" + tag + "-" + std::to_string(attempt) + ",p\n"; };
}

}  // namespace

TEST_F(NetnsDiscovery, MulticastProbeIsAnsweredFromTheLinkAddress) {
    std::string phoneNs = AddLinkedPhoneNamespace();
    ASSERT_FALSE(phoneNs.empty());
    auto server = StartServer(serverNs_);
    ASSERT_NE(server, nullptr);
    // The loopback adapter is passed over; the veth is the one adapter joined.
    EXPECT_EQ(MulticastList(*server), Strings{"198.18.0.1"});

    auto phone = NetnsPhone::Open(phoneNs, "198.18.0.2");
    ASSERT_NE(phone, nullptr);
    Datagram answer;
    ASSERT_TRUE(phone->Ask(kMulticastGroup, kMulticastPort, Fixed("Vola:cid,param\n"), &answer))
        << "no answer to a probe sent to the group";
    EXPECT_EQ(answer.text, kAnswer);
    EXPECT_EQ(FormatIpv4(answer.from), "198.18.0.1");
    EXPECT_EQ(answer.fromPort, kMulticastPort);
    std::string name;
    EXPECT_TRUE(context_.stationTable.Lookup("cid", &name));
    EXPECT_EQ(name, "NETNS-PC");

    // The same socket takes probes sent straight to the interface's address.
    ASSERT_TRUE(phone->Ask("198.18.0.1", kMulticastPort, Fixed("Vola:direct\n"), &answer))
        << "no answer to a unicast probe on the multicast port";
    EXPECT_EQ(answer.text, kAnswer);
    EXPECT_EQ(FormatIpv4(answer.from), "198.18.0.1");
    EXPECT_EQ(answer.fromPort, kMulticastPort);
}

TEST_F(NetnsDiscovery, DiscoveryPortAnswersUnicastAndBroadcastOnTheLink) {
    std::string phoneNs = AddLinkedPhoneNamespace();
    ASSERT_FALSE(phoneNs.empty());
    ASSERT_NE(StartServer(serverNs_), nullptr);
    auto phone = NetnsPhone::Open(phoneNs, "198.18.0.2");
    ASSERT_NE(phone, nullptr);

    for (const char* to : {"198.18.0.1", "198.18.0.255", "255.255.255.255"}) {
        Datagram answer;
        ASSERT_TRUE(phone->Ask(to, kDiscoveryPort, Fixed("Vola:cid,param\n"), &answer))
            << "no answer to a probe sent to " << to;
        EXPECT_EQ(answer.text, kAnswer) << to;
        EXPECT_EQ(FormatIpv4(answer.from), "198.18.0.1") << to;
        EXPECT_EQ(answer.fromPort, kDiscoveryPort) << to;
    }
}

TEST_F(NetnsDiscovery, AddressThatAppearsAfterStartIsAnsweredWithinSeconds) {
    std::string phoneNs = AddNamespace();
    ASSERT_FALSE(phoneNs.empty());
    // The server's veth is up but has no address yet: only the loopback one exists.
    ASSERT_TRUE(Link(serverNs_, "srv0", phoneNs, "phone0"));
    ASSERT_TRUE(Ip("-n " + phoneNs + " addr add 198.18.0.2/24 dev phone0"));
    auto server = StartServer(serverNs_);
    ASSERT_NE(server, nullptr) << "the service must start without any usable address";
    EXPECT_TRUE(MulticastList(*server).empty());
    auto phone = NetnsPhone::Open(phoneNs, "198.18.0.2");
    ASSERT_NE(phone, nullptr);

    ASSERT_TRUE(Ip("-n " + serverNs_ + " addr add 198.18.0.1/24 dev srv0"));
    auto added = Clock::now();
    Datagram answer;
    ASSERT_TRUE(phone->Ask(kMulticastGroup, kMulticastPort, Numbered("late"), &answer, 3000))
        << "no answer within 3 s of the server's first address appearing";
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - added);
    RecordProperty("answered_after_ms", static_cast<int>(ms.count()));
    EXPECT_EQ(answer.text, kAnswer);
    EXPECT_EQ(FormatIpv4(answer.from), "198.18.0.1");
    EXPECT_EQ(answer.fromPort, kMulticastPort);
    EXPECT_EQ(MulticastList(*server), Strings{"198.18.0.1"});
}

// The service on two links, a phone on each. Addresses are "a.b.c.d/len" texts.
class NetnsTwoLinks : public NetnsDiscovery {
protected:
    void EachLinkIsAnsweredFromItsOwnAddressOnce(const std::string& serverA,
                                                 const std::string& serverB,
                                                 const std::string& phoneA,
                                                 const std::string& phoneB);
};

namespace {

std::string Host(const std::string& cidr) { return cidr.substr(0, cidr.find('/')); }

}  // namespace

void NetnsTwoLinks::EachLinkIsAnsweredFromItsOwnAddressOnce(const std::string& serverA,
                                                            const std::string& serverB,
                                                            const std::string& phoneA,
                                                            const std::string& phoneB) {
    std::string nsA = AddNamespace();
    std::string nsB = AddNamespace();
    ASSERT_FALSE(nsA.empty());
    ASSERT_FALSE(nsB.empty());
    // Loose reverse-path checks, whatever the machine's defaults: a phone on the second link
    // of a shared subnet must reach the service at all.
    ASSERT_TRUE(DisableReversePathFilter(serverNs_));
    ASSERT_TRUE(Link(serverNs_, "srv0", nsA, "phone0"));
    ASSERT_TRUE(Link(serverNs_, "srv1", nsB, "phone1"));
    ASSERT_TRUE(Ip("-n " + serverNs_ + " addr add " + serverA + " dev srv0"));
    ASSERT_TRUE(Ip("-n " + serverNs_ + " addr add " + serverB + " dev srv1"));
    ASSERT_TRUE(Ip("-n " + nsA + " addr add " + phoneA + " dev phone0"));
    ASSERT_TRUE(Ip("-n " + nsB + " addr add " + phoneB + " dev phone1"));
    auto server = StartServer(serverNs_, NetnsContext::CountingAnswer);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(MulticastList(*server), (Strings{Host(serverA), Host(serverB)}));

    auto a = NetnsPhone::Open(nsA, Host(phoneA).c_str());
    auto b = NetnsPhone::Open(nsB, Host(phoneB).c_str());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    struct Case {
        NetnsPhone* phone;
        std::string to, tag, serverAddress;
    } cases[] = {
        {a.get(), kMulticastGroup, "a-group", Host(serverA)},
        {a.get(), Host(serverA), "a-direct", Host(serverA)},
        {b.get(), kMulticastGroup, "b-group", Host(serverB)},
        {b.get(), Host(serverB), "b-direct", Host(serverB)},
    };
    for (const Case& c : cases) {
        Datagram answer;
        if (!c.phone->Ask(c.to.c_str(), kMulticastPort, Numbered(c.tag), &answer)) {
            ADD_FAILURE() << "no answer to " << c.tag;
            continue;
        }
        EXPECT_EQ(answer.text, kAnswer) << c.tag;
        EXPECT_EQ(FormatIpv4(answer.from), c.serverAddress) << c.tag;
        EXPECT_EQ(answer.fromPort, kMulticastPort) << c.tag;
    }
    // One more probe on the first link: the one responder thread handles each socket's queue in
    // order, so once it is answered, any copy of the earlier probes taken in by the other
    // link's socket has been handled too.
    Datagram answer;
    ASSERT_TRUE(a->Ask(kMulticastGroup, kMulticastPort, Numbered("end"), &answer));

    // A probe is handled by the socket of the link it came in on, and by no other.
    std::vector<std::string> handled = context_.Handled();
    for (const std::string& id : std::set<std::string>(handled.begin(), handled.end())) {
        if (id.rfind("end-", 0) == 0) continue;
        EXPECT_EQ(context_.TimesHandled(id), 1) << id;
    }
}

TEST_F(NetnsTwoLinks, SubnetPerLink) {
    EachLinkIsAnsweredFromItsOwnAddressOnce("198.18.0.1/24", "198.18.1.1/24", "198.18.0.2/24",
                                            "198.18.1.2/24");
}

// Wired and wireless on one network: the routing table sends everything for the subnet out of
// the first link, yet an answer must leave by the link its probe came in on.
TEST_F(NetnsTwoLinks, OneSubnetOnBothLinks) {
    EachLinkIsAnsweredFromItsOwnAddressOnce("198.18.0.1/24", "198.18.0.3/24", "198.18.0.2/24",
                                            "198.18.0.4/24");
}
