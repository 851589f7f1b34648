// The real Linux program end to end: started in an empty folder inside a network namespace of
// the test's own (so its sockets and multicast memberships never touch the machine's network),
// driven by the scripted phone.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "integration/phone_client.h"
#include "netns/netns_fixture.h"
#include "platform/process.h"
#include "program_process.h"

namespace {

class ProgramTest : public NetnsDiscovery {
protected:
    void TearDown() override {
        NetnsDiscovery::TearDown();
        std::error_code ignored;
        for (const std::string& folder : folders_) std::filesystem::remove_all(folder, ignored);
    }
    std::string Folder(const char* name) {
        folders_.push_back(testing::TempDir() + "corvane-program-" + std::to_string(getpid()) +
                           "-" + name);
        return folders_.back();
    }
    std::vector<std::string> folders_;
    std::string Ini(const ProgramProcess& p) { return ReadText(p.folder + "/CorvaneServer.ini"); }
    // Runs `body` inside the program's namespace.
    void InNamespace(const std::function<void()>& body) {
        std::string error;
        ASSERT_TRUE(RunInNamespace(serverNs_, body, &error)) << error;
    }
    void StopAndCheckExit(ProgramProcess& p) {
        auto start = std::chrono::steady_clock::now();
        p.Signal(SIGTERM);
        int status = -2;
        ASSERT_TRUE(p.WaitExit(2000, &status)) << "still running 2 s after SIGTERM";
        EXPECT_EQ(status, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
};

}  // namespace

TEST_F(ProgramTest, FirstStartWritesDefaultsServesPhonesAndStopsOnSigterm) {
    if (serverNs_.empty()) GTEST_SKIP();
    ProgramProcess program;
    ASSERT_TRUE(program.Start(serverNs_, Folder("first"), ""));
    ASSERT_TRUE(program.WaitForOutput("CorvaneServer Version:  1.52")) << program.Output();

    std::string ini = Ini(program);
    std::string host = HostComputerName();
    for (const std::string& line : {std::string("ShowMain=yes"), std::string("Passwd=735"),
                                    "PcName=" + host, std::string("AutoStart=yes")}) {
        EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
    }
    std::string log = ReadText(program.folder + "/CorvaneServer.log");
    EXPECT_TRUE(std::regex_search(
        log, std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  CorvaneServer Version:  1\.52\n)")))
        << log;
    // Autostart is on by default: the entry runs this very program.
    std::string entry = ReadText(program.folder + "/.config/autostart/VolaServer.desktop");
    EXPECT_NE(entry.find("Exec=\"" + program.folder + "/CorvaneServer\""), std::string::npos)
        << entry;

    InNamespace([&] {
        // Only the loopback lives in this namespace: its hardware address is all zeros.
        EXPECT_EQ(Probe(33589, "Vola:e2e,hello\n", 2000),
                  "Vola:00-00-00-00-00-00," + host + ",33589\n");
        PhoneClient phone(33589);
        ASSERT_TRUE(phone.Connected());
        EXPECT_EQ(phone.Login("e2e,Test Phone", "735"), "Login:OK\n");
        ASSERT_TRUE(phone.SendLine("QueryInfo:PptCurPage"));
        EXPECT_EQ(phone.ReadLine(), "QueryInfo:PptCurPage,-1,-1\n");
        ASSERT_TRUE(phone.SendLine("QueryInfo:Version"));
        EXPECT_EQ(phone.ReadLine(), "QueryInfo:Version,152\n");
        ASSERT_TRUE(phone.SendLine("QueryInfo:PcInfo"));
        EXPECT_EQ(phone.ReadLine(), "QueryInfo:PcInfo,00-00-00-00-00-00," + host + "\n");
        ASSERT_TRUE(phone.SendLine("QueryInfo:CmdList"));
        EXPECT_EQ(phone.ReadLine().size(), 292u);
        ASSERT_TRUE(phone.SendLine("Heartbeat:"));
        EXPECT_EQ(phone.ReadLine(), "Heartbeat:\n");
    });
    // The login notice (no desktop here: a line on standard output), and the address line of a
    // namespace that has nothing but its loopback.
    EXPECT_TRUE(program.WaitForOutput("Connected: Test Phone 已经连上来了\n")) << program.Output();
    EXPECT_NE(program.Output().find("IP Address: No Local IP\n"), std::string::npos);

    StopAndCheckExit(program);
    ini = Ini(program);
    for (const char* line : {"iVert=50", "iHorz=50", "ShowMain=no"}) {
        EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
    }
}

TEST_F(ProgramTest, PeersThatSendWithoutReadingDoNotDelaySigterm) {
    if (serverNs_.empty()) GTEST_SKIP();
    ProgramProcess program;
    ASSERT_TRUE(program.Start(serverNs_, Folder("flood"), ""));
    ASSERT_TRUE(program.WaitForOutput("CorvaneServer Version:")) << program.Output();
    // Neither reads what the program answers: one logged in and asking for the longest answer,
    // one that never logs in. Each leaves the program's thread for it waiting in a send.
    std::unique_ptr<PhoneClient> in, out;
    InNamespace([&] {
        in = std::make_unique<PhoneClient>(33589);
        ASSERT_EQ(in->Login("in,Flood", "735"), "Login:OK\n");
        EXPECT_GT(in->FloodUntilStalled("QueryInfo:CmdList"), 0);
        out = std::make_unique<PhoneClient>(33589);
        ASSERT_TRUE(out->Connected());
        EXPECT_GT(out->FloodUntilStalled("Login:out,wrong"), 0);
    });
    StopAndCheckExit(program);
}

TEST_F(ProgramTest, SecondCopyEndsAtOnceWithoutTouchingTheSettings) {
    if (serverNs_.empty()) GTEST_SKIP();
    ProgramProcess first;
    ASSERT_TRUE(first.Start(serverNs_, Folder("single"), ""));
    ASSERT_TRUE(first.WaitForOutput("CorvaneServer Version:"));
    std::string before = Ini(first);

    // A copy elsewhere is the same program for the same user.
    ProgramProcess second;
    ASSERT_TRUE(second.Start(serverNs_, Folder("single-second"), ""));
    int status = -2;
    ASSERT_TRUE(second.WaitExit(1000, &status)) << "the second copy kept running";
    EXPECT_EQ(status, 0);
    EXPECT_NE(second.Output().find("already running"), std::string::npos) << second.Output();
    EXPECT_EQ(Ini(first), before);
    EXPECT_EQ(Ini(second), "");
    EXPECT_TRUE(first.Running());
    StopAndCheckExit(first);
}

TEST_F(ProgramTest, TakenPortLeavesTheProgramRunningWithoutService) {
    if (serverNs_.empty()) GTEST_SKIP();
    SocketHandle blocker = kNoSocket;
    InNamespace([&] {
        blocker = OpenTcpSocket();
        ASSERT_TRUE(BindSocket(blocker, 0, 33589));
        ASSERT_TRUE(ListenSocket(blocker, 1));
    });
    ProgramProcess program;
    ASSERT_TRUE(program.Start(serverNs_, Folder("taken"), ""));
    ASSERT_TRUE(program.WaitForOutput("CorvaneServer Version:")) << program.Output();
    std::string out = program.Output();
    EXPECT_NE(out.find("  TCP Bind Error.\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Create TCP Listen Error.\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Disconnected"), std::string::npos) << out;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(program.Running());
    StopAndCheckExit(program);
    CloseSocket(blocker);
}
