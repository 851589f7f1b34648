// corvane-remote against the real Linux program: the program runs in one test namespace, the
// tool in another, joined by a veth pair, so every probe (broadcast and multicast included)
// stays on that pair. Root only; skipped otherwise.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "netns_fixture.h"
#include "platform/process.h"
#include "program_process.h"
#include "tool_runner.h"
#include "wait_until.h"

namespace {

using Strings = std::vector<std::string>;

constexpr const char* kProgramAddress = "198.18.0.1";

class RemoteProgramTest : public NetnsDiscovery {
protected:
    void SetUp() override {
        NetnsDiscovery::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        phoneNs_ = AddLinkedPhoneNamespace();
        ASSERT_FALSE(phoneNs_.empty());
        folder_ = testing::TempDir() + "corvane-remote-e2e-" + std::to_string(getpid());
        ASSERT_TRUE(program_.Start(CORVANE_PROGRAM, serverNs_, folder_, ""));
        ASSERT_TRUE(program_.WaitForOutput("CorvaneServer Version:")) << program_.Output();
        host_ = HostComputerName();
    }
    void TearDown() override {
        if (program_.Running()) {
            program_.Signal(SIGTERM);
            int status;
            program_.WaitExit(3000, &status);
        }
        NetnsDiscovery::TearDown();
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }

    // The tool in the phone's namespace.
    ToolResult Tool(const Strings& args) { return RunTool(phoneNs_, args); }

    // The commands the program traced for client id `cid`, as "COMMAND PARAMETER".
    Strings TracedCommands(const std::string& cid) {
        Strings commands;
        std::string out = program_.Output();
        std::regex line("CID=" + cid + ", CMD=(\\w+), PARAM=([^\\n]*)\\n");
        for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it) {
            if ((*it)[1] != "Login") commands.push_back((*it)[1].str() + " " + (*it)[2].str());
        }
        return commands;
    }
    // Waits until the program traced `count` commands of `cid`.
    Strings WaitForCommands(const std::string& cid, size_t count) {
        Strings commands;
        WaitUntil([&] { return (commands = TracedCommands(cid)).size() >= count; },
                  std::chrono::seconds(5));
        return commands;
    }

    // The header and one row for the program, answered through the probes `via`.
    std::regex Table(const std::string& via) {
        return std::regex(
            "HARDWARE ADDRESS +PORT +ADDRESS +ANSWERED +NAME\\n"
            "([0-9A-F]{2}(-[0-9A-F]{2}){5}) +33589 +198\\.18\\.0\\.1 +" +
            via + " +" + std::regex_replace(host_, std::regex("[.]"), "\\.") + "\\n");
    }

    std::string phoneNs_;
    std::string folder_;
    std::string host_;
    ProgramProcess program_;
};

}  // namespace

TEST_F(RemoteProgramTest, DiscoverListsTheProgramOnceWithEveryProbeItAnswered) {
    if (phoneNs_.empty()) GTEST_SKIP();
    ToolResult r = Tool({"discover"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // Broadcast and multicast answers from the same address make one row.
    std::smatch m;
    ASSERT_TRUE(std::regex_match(r.out, m, Table("broadcast,multicast"))) << r.out << r.err;
    std::string hardware = m[1];
    EXPECT_GE(Count(program_.Output(), "STA: CID=corvane-remote, PP=corvane-remote\n"), 2)
        << program_.Output();

    // One address probed directly.
    r = Tool({"--host", kProgramAddress, "--id", "direct-probe", "discover"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(std::regex_match(r.out, m, Table("direct"))) << r.out << r.err;
    EXPECT_EQ(m[1], hardware);
    EXPECT_NE(program_.Output().find("STA: CID=direct-probe, PP=corvane-remote\n"),
              std::string::npos);

    // The hardware address listed is the one the program reports after a login.
    r = Tool({"--host", kProgramAddress, "send", "QueryInfo:PcInfo"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "QueryInfo:PcInfo," + hardware + "," + host_ + "\n");
}

TEST_F(RemoteProgramTest, SendWithoutHostUsesTheDiscoveredProgramAndPrintsEachAnswer) {
    if (phoneNs_.empty()) GTEST_SKIP();
    ToolResult r =
        Tool({"--id", "e2e", "--name", "Desk Remote", "send", "QueryInfo:PptCurPage", "PptNextPage",
              "QueryInfo:Version", "QueryInfo:NoSuchTopic", "Heartbeat", "PptGotoPage:4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("using " + host_ + " at 198.18.0.1:33589"), std::string::npos) << r.err;
    // Exactly the answers, in order: none for commands that have none.
    EXPECT_EQ(r.out, "QueryInfo:PptCurPage,-1,-1\nQueryInfo:Version,152\nHeartbeat:\n");
    EXPECT_EQ(WaitForCommands("e2e,Desk Remote", 2), (Strings{"PptNextPage ", "PptGotoPage 4"}));
    // The login notice carries the name.
    EXPECT_TRUE(program_.WaitForOutput("Desk Remote")) << program_.Output();
}

TEST_F(RemoteProgramTest, PresentTurnsTerminalKeysIntoCommands) {
    if (phoneNs_.empty()) GTEST_SKIP();
    InteractiveTool tool(phoneNs_, {"--id", "pty", "--name", "Keys", "present"}, true);
    ASSERT_TRUE(tool.Started());
    // Found by discovery, logged in, and the program has no slideshow to show.
    ASSERT_TRUE(tool.WaitFor("no slideshow")) << tool.Output();
    EXPECT_NE(tool.Output().find("Connected to " + host_ + " at 198.18.0.1:33589"),
              std::string::npos)
        << tool.Output();

    const std::string cid = "pty,Keys";
    Strings expected;
    auto press = [&](const std::string& keys, const Strings& commands) {
        ASSERT_TRUE(tool.Type(keys));
        expected.insert(expected.end(), commands.begin(), commands.end());
        ASSERT_EQ(WaitForCommands(cid, expected.size()), expected) << "after " << keys;
    };
    press("\x1b[C \x1b[6~", {"PptNextPage ", "PptNextPage ", "PptNextPage "});
    press("\x1b[D\x1b[5~", {"PptPrevPage ", "PptPrevPage "});
    ASSERT_TRUE(tool.Type("12"));
    ASSERT_TRUE(tool.WaitFor("go to slide: 12_")) << tool.Output();
    press("\r", {"PptGotoPage 12"});
    press("b", {"PptChangeState 3"});
    ASSERT_TRUE(tool.WaitFor("[black screen]"));
    press("b", {"PptChangeState 0"});
    press("p", {"PptChangeState 1"});
    ASSERT_TRUE(tool.WaitFor("[pen]"));
    // A lone Escape (nothing follows it at once) ends the show.
    press("\x1b", {"PptQuit "});
    ASSERT_TRUE(tool.Type("q"));
    EXPECT_EQ(tool.Wait(), 0) << tool.Output();
    EXPECT_EQ(TracedCommands(cid), expected);
}

TEST_F(RemoteProgramTest, WrongPasswordRefusedPortAndSilenceEachHaveTheirStatus) {
    if (phoneNs_.empty()) GTEST_SKIP();
    ToolResult r = Tool({"--host", kProgramAddress, "--password", "nope", "send", "PptNextPage"});
    EXPECT_EQ(r.status, 5) << r.err;
    EXPECT_NE(r.err.find("wrong password"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(TracedCommands("corvane-remote,.*"), Strings{});

    r = Tool({"--host", "198.18.0.1:33590", "send", "PptNextPage"});
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("refused the connection"), std::string::npos) << r.err;

    // Nobody has this address: the connection attempt goes unanswered.
    r = Tool({"--host", "198.18.0.3", "--timeout", "700", "send", "PptNextPage"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("no answer from 198.18.0.3:33589"), std::string::npos) << r.err;

    program_.Signal(SIGTERM);
    int status = -2;
    ASSERT_TRUE(program_.WaitExit(3000, &status));
    r = Tool({"discover"});
    EXPECT_EQ(r.status, 3) << r.out << r.err;
    EXPECT_NE(r.err.find("no computer answered the broadcast and multicast probes"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
    r = Tool({"send", "PptNextPage"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("no computer answered the discovery probes"), std::string::npos) << r.err;
}
