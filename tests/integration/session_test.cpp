#include <chrono>
#include <string>
#include <thread>

#include "service_fixture.h"
#include "support/log.h"
#include "wait_until.h"

using namespace std::chrono_literals;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST_F(ServiceTest, LoginAnswersAndHowTheyPersist) {
    PhoneClient phone(Port());
    ASSERT_TRUE(phone.Connected());
    EXPECT_EQ(phone.Login("p1", "wrong"), "Login:ER\n");
    // A wrong password keeps the connection but not a login.
    EXPECT_EQ(phone.Login("p1", "73"), "Login:ER\n");
    EXPECT_EQ(phone.Login("p1", "735"), "Login:OK\n");
    ASSERT_TRUE(phone.SendLine("Heartbeat:"));
    EXPECT_EQ(phone.ReadLine(), "Heartbeat:\n");
    // A wrong login after a right one does not log the phone out.
    EXPECT_EQ(phone.Login("p1", "nope"), "Login:ER\n");
    ASSERT_TRUE(phone.SendLine("Echo:still in"));
    EXPECT_EQ(phone.ReadLine(), "still in\n");
}

TEST_F(ServiceTest, PasswordChangeAppliesToTheNextLogin) {
    server_->SetPassword("secret");
    PhoneClient phone(Port());
    EXPECT_EQ(phone.Login("p", "735"), "Login:ER\n");
    EXPECT_EQ(phone.Login("p", "secret"), "Login:OK\n");
}

TEST_F(ServiceTest, EmptyPasswordAcceptsOnlyAnEmptyOne) {
    server_->SetPassword("");
    PhoneClient phone(Port());
    EXPECT_EQ(phone.Login("p", "x"), "Login:ER\n");
    EXPECT_EQ(phone.Login("p", ""), "Login:OK\n");
}

TEST_F(ServiceTest, ConnectionIsClosedWithoutReply) {
    struct Case {
        const char* bytes;
        const char* trace;
    } cases[] = {
        {"Heartbeat:\n", ""},                                 // command before login
        {"Echo:x\n", ""},                                     // likewise
        {"no colon here\n", "Invalid Command Partten.\n"},    // not a command
        {"\n", "Invalid Command Partten.\n"},                 // empty line
        {"Login:nocomma\n", "Invalid Command Partten 2.\n"},  // login without ","
    };
    for (const Case& c : cases) {
        PhoneClient phone(Port());
        CaptureStdout();
        ASSERT_TRUE(phone.Send(c.bytes));
        EXPECT_TRUE(phone.WaitClosed()) << c.bytes;
        std::string out = GetCapturedStdout();
        EXPECT_EQ(out, c.trace) << c.bytes;
    }
    EXPECT_TRUE(handler_.Calls().empty());
}

TEST_F(ServiceTest, HandlerSeesClientIdCommandAndParameter) {
    PhoneClient phone(Port());
    EXPECT_EQ(phone.Login("id-7,Ann's phone", "735"), "Login:OK\n");
    ASSERT_TRUE(phone.SendLine("Echo:a:b,c"));
    EXPECT_EQ(phone.ReadLine(), "a:b,c\n");
    ASSERT_TRUE(phone.Send("Cmd:with cr\r\n"));
    ASSERT_TRUE(phone.SendLine("Echo:sync"));
    EXPECT_EQ(phone.ReadLine(), "sync\n");

    PhoneClient second(Port());
    EXPECT_EQ(second.Login("bare", "735"), "Login:OK\n");
    ASSERT_TRUE(second.SendLine("Echo:sync"));
    EXPECT_EQ(second.ReadLine(), "sync\n");

    auto calls = handler_.Calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].clientId, "id-7,Ann's phone");
    EXPECT_EQ(calls[0].command, "Login");
    EXPECT_EQ(calls[0].parameter, "Ann's phone");
    EXPECT_EQ(calls[1].command, "Echo");
    EXPECT_EQ(calls[1].parameter, "a:b,c");
    EXPECT_EQ(calls[2].clientId, "id-7,Ann's phone");
    EXPECT_EQ(calls[2].command, "Cmd");
    EXPECT_EQ(calls[2].parameter, "with cr\r");
    EXPECT_EQ(calls[4].clientId, "bare");
    EXPECT_EQ(calls[4].parameter, "");
}

TEST_F(ServiceTest, LinesAreFramedAcrossAndWithinPackets) {
    PhoneClient phone(Port());
    EXPECT_EQ(phone.Login("p", "735"), "Login:OK\n");
    ASSERT_TRUE(phone.Send("Heartbeat:\nHeartbeat:\n"));
    EXPECT_EQ(phone.Read(22), "Heartbeat:\nHeartbeat:\n");

    CaptureStdout();
    ASSERT_TRUE(phone.Send("Echo:sp"));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(phone.Send("lit\n"));
    std::string reply = phone.ReadLine();
    EXPECT_EQ(GetCapturedStdout(), "-----TEST. Reset Data.\n");
    EXPECT_EQ(reply, "split\n");
}

TEST_F(ServiceTest, LongestLineIs8192BytesWithItsLineFeed) {
    PhoneClient phone(Port());
    EXPECT_EQ(phone.Login("p", "735"), "Login:OK\n");
    std::string parameter(8191 - 5, 'x');  // "Echo:" + parameter = 8191 bytes
    ASSERT_TRUE(phone.SendLine("Echo:" + parameter));
    EXPECT_EQ(phone.ReadLine(), parameter + "\n");

    CaptureStdout();
    ASSERT_TRUE(phone.Send("Echo:" + std::string(8192 - 5, 'y')));
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(phone.Send("\n"));
    EXPECT_TRUE(phone.WaitClosed());
    GetCapturedStdout();
}

TEST_F(ServiceTest, IdleConnectionTimesOutButHeartbeatsKeepItOpen) {
    options_.idleTimeoutSeconds = 2;
    ASSERT_TRUE(RestartService());
    PhoneClient idle(Port());
    PhoneClient busy(Port());
    EXPECT_EQ(idle.Login("idle", "735"), "Login:OK\n");
    EXPECT_EQ(busy.Login("busy", "735"), "Login:OK\n");
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(800ms);
        ASSERT_TRUE(busy.SendLine("Heartbeat:"));
        ASSERT_EQ(busy.ReadLine(), "Heartbeat:\n") << "after " << i;
    }
    EXPECT_TRUE(idle.WaitClosed(0));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2s);
    ASSERT_TRUE(busy.SendLine("Heartbeat:"));
    EXPECT_EQ(busy.ReadLine(), "Heartbeat:\n");
}

TEST_F(ServiceTest, RepeatedWrongPasswordsLockTheAddressOut) {
    std::int64_t fakeNow = 1000;
    options_.throttleClock = [&fakeNow] { return fakeNow; };
    ASSERT_TRUE(RestartService());
    PhoneClient phone(Port());
    // A right login resets the count.
    for (int i = 0; i < 4; ++i) ASSERT_EQ(phone.Login("p", "000"), "Login:ER\n");
    ASSERT_EQ(phone.Login("p", "735"), "Login:OK\n");
    for (int i = 0; i < 4; ++i) ASSERT_EQ(phone.Login("p", "000"), "Login:ER\n");
    CaptureStdout();
    ASSERT_EQ(phone.Login("p", "000"), "Login:ER\n");  // the fifth in a row
    ASSERT_EQ(phone.Login("p", "735"), "Login:ER\n");  // refused without a look
    PhoneClient other(Port());
    EXPECT_EQ(other.Login("q", "735"), "Login:ER\n");  // same address, new connection
    std::string log = GetCapturedStdout();
    EXPECT_NE(log.find("Logins from 127.0.0.1 refused for 60 seconds after 5 wrong passwords.\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("refused", log.find("refused") + 1), std::string::npos) << "logged twice";
    fakeNow += 59;
    EXPECT_EQ(other.Login("q", "735"), "Login:ER\n");
    fakeNow += 1;
    EXPECT_EQ(other.Login("q", "735"), "Login:OK\n");
}

TEST_F(ServiceTest, StopClosesConnectedPhonesWithinAboutASecond) {
    PhoneClient a(Port()), b(Port()), c(Port());
    EXPECT_EQ(a.Login("a", "735"), "Login:OK\n");
    EXPECT_EQ(b.Login("b", "735"), "Login:OK\n");
    ASSERT_TRUE(c.Connected());
    auto start = std::chrono::steady_clock::now();
    server_->Stop();
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 2500ms);  // generous: a bound on hanging, not a performance target
    EXPECT_EQ(server_->ActiveConnections(), 0u);
    EXPECT_FALSE(server_->ConnectionsLeftBehind());
    EXPECT_TRUE(a.WaitClosed(500));
    EXPECT_TRUE(b.WaitClosed(500));
    EXPECT_TRUE(c.WaitClosed(500));
}

TEST_F(ServiceTest, PeersThatSendWithoutReadingDoNotHoldUpStop) {
    // One logged in and asking for long answers, one never logged in and failing to: neither
    // reads, so the service's thread for each ends up waiting in a send. The send time-out is
    // far beyond the floods, so only Stop can end those waits (a busy machine floods slowly).
    options_.sendTimeoutMs = 60000;
    ASSERT_TRUE(RestartService());
    PhoneClient in(Port()), out(Port());
    ASSERT_EQ(in.Login("in", "735"), "Login:OK\n");
    EXPECT_GT(in.FloodUntilStalled("Fill:"), 0);
    EXPECT_GT(out.FloodUntilStalled("Login:out,wrong"), 0);
    ASSERT_EQ(server_->ActiveConnections(), 2u);
    auto start = std::chrono::steady_clock::now();
    server_->Stop();
    auto took = std::chrono::steady_clock::now() - start;
    // Generous, and well below the send time-out: a bound on hanging, not a performance target.
    EXPECT_LT(took, 2500ms);
    EXPECT_EQ(server_->ActiveConnections(), 0u);
}

TEST_F(ServiceTest, AConnectionThatDoesNotEndCannotHoldUpStop) {
    options_.connectionStopLimitMs = 300;
    ASSERT_TRUE(RestartService());
    handler_.Hold();
    PhoneClient held(Port());
    ASSERT_EQ(held.Login("held", "735"), "Login:OK\n");
    ASSERT_TRUE(held.SendLine("Hold:"));
    auto holding = [&] {
        for (const HandlerCall& call : handler_.Calls()) {
            if (call.command == "Hold") return true;
        }
        return false;
    };
    ASSERT_TRUE(WaitUntil(holding, 10s));
    // Stop returns although the command never does, and says so.
    CaptureStdout();
    server_->Stop();
    const std::string log = GetCapturedStdout();
    EXPECT_TRUE(server_->ConnectionsLeftBehind());
    EXPECT_NE(log.find("1 phone connection(s) did not end within 300 ms; left behind.\n"),
              std::string::npos)
        << log;
    // The thread left behind ends on its own once its command returns.
    handler_.Release();
    EXPECT_TRUE(WaitUntil([&] { return server_->ActiveConnections() == 0; }, 10s));
}

TEST_F(ServiceTest, APeerThatStopsReadingIsDroppedAfterTheSendTimeOut) {
    options_.sendTimeoutMs = 300;
    ASSERT_TRUE(RestartService());
    PhoneClient stuck(Port());
    ASSERT_EQ(stuck.Login("stuck", "735"), "Login:OK\n");
    EXPECT_GT(stuck.FloodUntilStalled("Fill:"), 0);
    // Its thread gives up on the send and ends the connection; the others are served meanwhile.
    PhoneClient other(Port());
    EXPECT_EQ(other.Login("other", "735"), "Login:OK\n");
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (server_->ActiveConnections() > 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(server_->ActiveConnections(), 1u);
    ASSERT_TRUE(other.SendLine("Echo:still served"));
    EXPECT_EQ(other.ReadLine(), "still served\n");
}

TEST_F(ServiceTest, SamePortsServeAgainRightAfterAStopWithConnections) {
    std::uint16_t tcp = server_->ListenPort();
    std::uint16_t udp = server_->DiscoveryPort();
    {
        PhoneClient phone(Port());
        EXPECT_EQ(phone.Login("p", "735"), "Login:OK\n");
        ASSERT_TRUE(phone.SendLine("Echo:x"));
        phone.ReadLine();
        server_->Stop();
    }
    server_ = StartService(tcp, udp);
    ASSERT_NE(server_, nullptr);
    PhoneClient phone(tcp);
    EXPECT_EQ(phone.Login("p", "735"), "Login:OK\n");
}

TEST_F(ServiceTest, TakenPortsFailCleanlyWithTheirLogLines) {
    std::uint16_t tcp = server_->ListenPort();
    std::uint16_t udp = server_->DiscoveryPort();

    CaptureStdout();
    auto clash = StartService(tcp, 0);
    std::string log = GetCapturedStdout();
    EXPECT_EQ(clash, nullptr);
    EXPECT_NE(log.find("  TCP Bind Error.\n"), std::string::npos) << log;
    EXPECT_NE(log.find("  Create TCP Listen Error.\n"), std::string::npos) << log;
    EXPECT_LT(log.find("TCP Bind Error."), log.find("Create TCP Listen Error."));

    // A free TCP port but a taken UDP port: the TCP port is released again at once.
    SocketHandle probe = OpenTcpSocket();
    ASSERT_TRUE(BindSocket(probe, Loopback(), 0));
    std::uint16_t freeTcp = LocalPort(probe);
    CloseSocket(probe);
    CaptureStdout();
    clash = StartService(freeTcp, udp);
    log = GetCapturedStdout();
    EXPECT_EQ(clash, nullptr);
    EXPECT_NE(log.find("  UDP Bind Error.\n"), std::string::npos) << log;
    EXPECT_NE(log.find("  Create UDP Listen Error. \n"), std::string::npos) << log;
    SocketHandle again = OpenTcpSocket();
    EXPECT_TRUE(BindSocket(again, Loopback(), freeTcp)) << "TCP port left bound";
    CloseSocket(again);

    // Once the UDP port is free, the same creation succeeds.
    server_->Stop();
    server_ = StartService(freeTcp, udp);
    EXPECT_NE(server_, nullptr);
}
