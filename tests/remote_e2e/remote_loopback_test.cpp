// corvane-remote on 127.0.0.1: against the service with the real command dispatcher (the
// slide status it shows and the requests its keys post), and against a scripted computer that
// checks the wire itself (login line, heartbeats, a connection closed under the tool).
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "commands/dispatcher.h"
#include "commands/handler_context.h"
#include "fakes/recording_requests.h"
#include "phone_client.h"
#include "platform/socket.h"
#include "service/control_server.h"
#include "tool_runner.h"
#include "wait_until.h"

namespace {

class RemoteDispatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SocketLibraryStartup(), 0);
        options_.readAdapters = [](std::vector<AdapterInfo>* adapters) {
            adapters->clear();
            return AdapterTableResult::kOk;
        };
        context_.worker = &requests_;
        ServerConfig config;
        config.tcpBindAddress = "127.0.0.1";
        config.tcpPort = 0;
        config.udpBindAddress = "127.0.0.1";
        config.udpPort = 0;
        config.commandHandler = DispatchCommand;
        config.owner = static_cast<HandlerContext*>(&context_);
        config.password = "735";
        config.options = &options_;
        server_ = CreateControlServer(config);
        ASSERT_NE(server_, nullptr);
    }
    void TearDown() override {
        if (server_) server_->Stop();
    }
    std::string HostArgument() { return "127.0.0.1:" + std::to_string(server_->ListenPort()); }
    // The request identifiers posted so far, once there are `count` of them.
    std::vector<std::uint32_t> Posted(size_t count) {
        std::vector<std::uint32_t> ids;
        WaitUntil(
            [&] {
                ids.clear();
                for (const PresentationRequest& r : requests_.Posted()) ids.push_back(r.message);
                return ids.size() >= count;
            },
            std::chrono::seconds(5));
        return ids;
    }

    ServerOptions options_;
    HandlerContext context_;
    RecordingRequests requests_;
    std::shared_ptr<ControlServer> server_;
};

// A computer that answers logins and records every line the tool sends.
class ScriptedComputer {
public:
    ScriptedComputer() {
        listener_ = OpenTcpSocket();
        if (BindSocket(listener_, Loopback(), 0) && ListenSocket(listener_, 4)) {
            port_ = LocalPort(listener_);
        }
    }
    ~ScriptedComputer() { CloseSocket(listener_); }
    std::uint16_t Port() const { return port_; }
    bool Accept(int timeoutMs = 5000) {
        if (WaitReadable(listener_, timeoutMs) <= 0) return false;
        peer_ = std::make_unique<LineSocket>(AcceptSocket(listener_, nullptr));
        return peer_->Connected();
    }
    // The next line from the tool with its line feed; "" (or a part) when none came in time.
    std::string Line(int timeoutMs = 5000) { return peer_ ? peer_->ReadLine(timeoutMs) : ""; }
    bool Send(const std::string& text) { return peer_ && peer_->Send(text); }
    void Hangup() {
        if (peer_) peer_->Close();
    }

private:
    SocketHandle listener_ = kNoSocket;
    std::unique_ptr<LineSocket> peer_;
    std::uint16_t port_ = 0;
};

}  // namespace

TEST_F(RemoteDispatcherTest, PresentShowsTheSlideAndPostsWhatTheKeysAsk) {
    context_.ppt.curPos = 3;
    context_.ppt.slideCount = 12;
    InteractiveTool tool("", {"--host", HostArgument(), "present"}, true);
    ASSERT_TRUE(tool.Started());
    ASSERT_TRUE(tool.WaitFor("slide 3 of 12")) << tool.Output();

    ASSERT_TRUE(tool.Type("\x1b[C"));
    EXPECT_EQ(Posted(1), std::vector<std::uint32_t>{PR_NEXT_PAGE});
    // The tool keeps asking: the status follows the presentation.
    context_.ppt.curPos = 4;
    EXPECT_TRUE(tool.WaitFor("slide 4 of 12")) << tool.Output();
    context_.ppt.curPos = 13;
    EXPECT_TRUE(tool.WaitFor("end of the show (12 slides)")) << tool.Output();
    context_.ppt.curPos = -1;
    context_.ppt.slideCount = -1;
    EXPECT_TRUE(tool.WaitFor("no slideshow")) << tool.Output();

    ASSERT_TRUE(tool.Type("7\rb\x1b[5~"));
    EXPECT_EQ(Posted(4), (std::vector<std::uint32_t>{PR_NEXT_PAGE, PR_GOTO_PAGE, PR_CHANGE_STATE,
                                                     PR_PREV_PAGE}));
    std::vector<PresentationRequest> posted = requests_.Posted();
    ASSERT_EQ(posted.size(), 4u);
    EXPECT_EQ(posted[1].wParam, 7u);
    EXPECT_EQ(posted[2].wParam, 3u);  // black screen
    ASSERT_TRUE(tool.Type("\x03"));   // Ctrl+C quits like q
    EXPECT_EQ(tool.Wait(), 0) << tool.Output();
}

TEST(RemoteWireTest, LoginLineHeartbeatsAndAClosedConnection) {
    ASSERT_EQ(SocketLibraryStartup(), 0);
    ScriptedComputer computer;
    ASSERT_NE(computer.Port(), 0);
    // Keys come from a pipe here, not a terminal.
    InteractiveTool tool(
        "",
        {"--host", "127.0.0.1:" + std::to_string(computer.Port()), "--id", "wire", "--name",
         "Name, with comma", "--password", "pw", "--heartbeat", "1", "present"},
        false);
    ASSERT_TRUE(tool.Started());
    ASSERT_TRUE(computer.Accept());
    EXPECT_EQ(computer.Line(), "Login:wire,Name, with comma,pw\n");
    ASSERT_TRUE(computer.Send("Login:OK\n"));

    // Answer what comes until two heartbeats and the key typed meanwhile have arrived.
    int heartbeats = 0;
    bool typed = false, next = false;
    Deadline deadline(std::chrono::seconds(10));
    for (std::string line = computer.Line(); !line.empty() && (heartbeats < 2 || !next);
         line = deadline.Passed() ? std::string() : computer.Line()) {
        if (line == "Heartbeat:\n") {
            ++heartbeats;
            ASSERT_TRUE(computer.Send("Heartbeat:\n"));
        } else if (line == "QueryInfo:PptCurPage\n") {
            ASSERT_TRUE(computer.Send("QueryInfo:PptCurPage,7,9\n"));
            if (!typed) typed = tool.Type("\x1b[6~");
        } else if (line == "PptNextPage:\n") {
            next = true;
        } else {
            ADD_FAILURE() << "unexpected line " << line;
        }
    }
    EXPECT_GE(heartbeats, 2);
    EXPECT_TRUE(next);
    // Output that is not a terminal gets one status line per change.
    EXPECT_TRUE(tool.WaitFor("slide 7 of 9\n")) << tool.Output();

    computer.Hangup();
    EXPECT_EQ(tool.Wait(), 1) << tool.Output();
    EXPECT_NE(tool.Output().find("closed the connection"), std::string::npos) << tool.Output();
}

TEST(RemoteWireTest, SendReportsALoginWithoutAnswerAndAnUnexpectedOne) {
    ASSERT_EQ(SocketLibraryStartup(), 0);
    {
        ScriptedComputer silent;
        std::string host = "127.0.0.1:" + std::to_string(silent.Port());
        std::thread accept([&] { silent.Accept(); });
        ToolResult r = RunTool("", {"--host", host, "--timeout", "300", "send", "PptNextPage"});
        accept.join();
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_NE(r.err.find("did not answer the login"), std::string::npos) << r.err;
    }
    {
        ScriptedComputer odd;
        std::string host = "127.0.0.1:" + std::to_string(odd.Port());
        std::thread answer([&] {
            if (odd.Accept() && !odd.Line().empty()) odd.Send("Hello\n");
        });
        ToolResult r = RunTool("", {"--host", host, "send", "PptNextPage"});
        answer.join();
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("unexpected answer to the login"), std::string::npos) << r.err;
    }
    // The computer closes the connection in the middle of a send.
    {
        ScriptedComputer closing;
        std::string host = "127.0.0.1:" + std::to_string(closing.Port());
        std::thread answer([&] {
            if (closing.Accept() && !closing.Line().empty() && closing.Send("Login:OK\n")) {
                closing.Line();
                closing.Hangup();
            }
        });
        ToolResult r = RunTool("", {"--host", host, "send", "QueryInfo:PptCurPage"});
        answer.join();
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("closed the connection after QueryInfo:PptCurPage"), std::string::npos)
            << r.err;
    }
}
