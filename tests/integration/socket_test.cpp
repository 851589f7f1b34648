// The socket calls the remote tool and the test clients build on, on 127.0.0.1: connecting
// within a time-out, resolving a host, and the datagram options for probes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/socket.h"

namespace {

class SocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SocketLibraryStartup(), 0);
        ASSERT_TRUE(ParseIpv4("127.0.0.1", &loopback_));
    }
    void TearDown() override {
        for (SocketHandle s : open_) CloseSocket(s);
    }
    SocketHandle Keep(SocketHandle s) {
        if (s != kNoSocket) open_.push_back(s);
        return s;
    }
    // A listener on an ephemeral loopback port.
    SocketHandle Listener() {
        SocketHandle s = Keep(OpenTcpSocket());
        if (!BindSocket(s, loopback_, 0) || !ListenSocket(s, 4)) return kNoSocket;
        return s;
    }

    std::uint32_t loopback_ = 0;
    std::vector<SocketHandle> open_;
};

}  // namespace

TEST_F(SocketTest, ConnectWithinReachesAListener) {
    SocketHandle listener = Listener();
    ASSERT_NE(listener, kNoSocket);
    SocketHandle client = Keep(OpenTcpSocket());
    ASSERT_EQ(ConnectWithin(client, {loopback_, LocalPort(listener)}, 5000),
              ConnectResult::kConnected);
    SocketHandle served = Keep(AcceptSocket(listener, nullptr));
    ASSERT_NE(served, kNoSocket);
    // The connection carries a line.
    ASSERT_EQ(SendAll(client, "Heartbeat:\n", 11), 11);
    ASSERT_EQ(WaitReadable(served, 5000), 1);
    char buffer[32] = {};
    EXPECT_EQ(ReceiveSome(served, buffer, sizeof buffer), 11);
    EXPECT_EQ(std::string(buffer), "Heartbeat:\n");
}

TEST_F(SocketTest, ConnectWithinTellsARefusalWithItsErrorText) {
    // A port that was just in use and now has no listener.
    SocketHandle gone = OpenTcpSocket();
    ASSERT_TRUE(BindSocket(gone, loopback_, 0));
    const std::uint16_t port = LocalPort(gone);
    CloseSocket(gone);
    SocketHandle client = Keep(OpenTcpSocket());
    ASSERT_EQ(ConnectWithin(client, {loopback_, port}, 10000), ConnectResult::kRefused);
    const int code = SocketLastError();
    EXPECT_NE(code, 0);
    EXPECT_FALSE(SocketErrorText(code).empty());
}

TEST_F(SocketTest, ResolveIpv4TakesDottedAddressesAndHostNames) {
    std::uint32_t address = 0;
    ASSERT_TRUE(ResolveIpv4("127.0.0.1", &address));
    EXPECT_EQ(address, loopback_);
    address = 0;
    ASSERT_TRUE(ResolveIpv4("localhost", &address));
    EXPECT_EQ(FormatIpv4(address).rfind("127.", 0), 0u) << FormatIpv4(address);
}

TEST_F(SocketTest, ProbeOptionsSetOnADatagramSocketAndFailWithout) {
    SocketHandle probe = Keep(OpenUdpSocket4());
    ASSERT_NE(probe, kNoSocket);
    EXPECT_TRUE(EnableBroadcast(probe));
    EXPECT_TRUE(SetMulticastTtl(probe, 1));
    EXPECT_FALSE(EnableBroadcast(kNoSocket));
    EXPECT_FALSE(SetMulticastTtl(kNoSocket, 1));
}
