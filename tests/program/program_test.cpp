// The real Linux program end to end: started in an empty folder inside a network namespace of
// the test's own (so its sockets and multicast memberships never touch the machine's network),
// driven by the scripted phone.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "file_text.h"
#include "netns_fixture.h"
#include "phone_client.h"
#include "platform/process.h"
#include "program_process.h"
#include "shell/settings_store.h"

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
    std::string Ini(const ProgramProcess& p) {
        return ReadFileText(p.folder + "/CorvaneServer.ini");
    }
    // Runs `body` inside the program's namespace.
    void InNamespace(const std::function<void()>& body) {
        std::string error;
        ASSERT_TRUE(RunInNamespace(serverNs_, body, &error)) << error;
    }
    void StopAndCheckExit(ProgramProcess& p, int signal = SIGTERM) {
        auto start = std::chrono::steady_clock::now();
        p.Signal(signal);
        int status = -2;
        ASSERT_TRUE(p.WaitExit(2000, &status)) << "still running 2 s after signal " << signal;
        EXPECT_EQ(status, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
};

}  // namespace

TEST_F(ProgramTest, FirstStartWritesDefaultsServesPhonesAndStopsOnSigterm) {
    if (serverNs_.empty()) GTEST_SKIP();
    ProgramProcess program;
    ASSERT_TRUE(program.Start(CORVANE_PROGRAM, serverNs_, Folder("first"), ""));
    ASSERT_TRUE(program.WaitForOutput("CorvaneServer Version:  1.52")) << program.Output();

    std::string ini = Ini(program);
    std::string host = HostComputerName();
    for (const std::string& line : {std::string("ShowMain=yes"), std::string("Passwd=735"),
                                    "PcName=" + host, std::string("AutoStart=yes")}) {
        EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
    }
    std::string log = ReadFileText(program.folder + "/CorvaneServer.log");
    EXPECT_TRUE(std::regex_search(
        log, std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  CorvaneServer Version:  1\.52\n)")))
        << log;
    // Autostart is on by default: the entry runs this very program.
    std::string entry = ReadFileText(program.folder + "/.config/autostart/VolaServer.desktop");
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

TEST_F(ProgramTest, StoredTextReadsBackExactlyAndNothingReachesTheTerminalRaw) {
    if (serverNs_.empty()) GTEST_SKIP();
    const std::string folder = Folder("text");
    std::filesystem::create_directories(folder);
    // Settings as the program's own store writes them: blanks at the password's ends, a name of
    // 130 two-byte characters (260 bytes, more than phones are sent).
    std::string umlauts;
    for (int i = 0; i < 130; ++i) umlauts += "\xC3\x9C";  // Ü
    auto store = [&](const char* key, const std::string& value) {
        SetSettingsPathForTesting(folder + "/CorvaneServer.ini");
        WriteSetting(key, value);
        SetSettingsPathForTesting("");
    };
    store(kPasswdKey, "  pass word  ");
    store(kPcNameKey, umlauts);
    const std::string name = umlauts.substr(0, 258);  // 129 whole characters

    ProgramProcess program;
    ASSERT_TRUE(program.Start(CORVANE_PROGRAM, serverNs_, folder, ""));
    ASSERT_TRUE(program.WaitForOutput("CorvaneServer Version:")) << program.Output();
    InNamespace([&] {
        // A probe whose client id would retitle the terminal and clear its screen.
        EXPECT_EQ(Probe(33589, "Vola:\x1b]0;x\x07,\x1b[2J\n", 2000),
                  "Vola:00-00-00-00-00-00," + name + ",33589\n");
        PhoneClient phone(33589);
        ASSERT_TRUE(phone.Connected());
        EXPECT_EQ(phone.Login("e2e,\x1b[31mPhone", "pass word"), "Login:ER\n");
        EXPECT_EQ(phone.Login("e2e,\x1b[31mPhone", "  pass word  "), "Login:OK\n");
        ASSERT_TRUE(phone.SendLine("QueryInfo:PcInfo"));
        EXPECT_EQ(phone.ReadLine(), "QueryInfo:PcInfo,00-00-00-00-00-00," + name + "\n");
        ASSERT_TRUE(phone.SendLine("PptNextPage:\x1b]0;y\x07"));
        ASSERT_TRUE(phone.SendLine("Heartbeat:"));
        EXPECT_EQ(phone.ReadLine(), "Heartbeat:\n");
    });
    EXPECT_TRUE(program.WaitForOutput("STA: CID=\\x1b]0;x\\x07, PP=\\x1b[2J\n"))
        << program.Output();
    EXPECT_TRUE(program.WaitForOutput("Connected: \\x1b[31mPhone 已经连上来了\n"))
        << program.Output();
    EXPECT_TRUE(program.WaitForOutput("CMD=PptNextPage, PARAM=\\x1b]0;y\\x07\n"))
        << program.Output();
    StopAndCheckExit(program);
    // Trace lines go to standard output only; neither there nor in the log is a raw escape.
    EXPECT_EQ(program.Output().find('\x1b'), std::string::npos) << program.Output();
    const std::string log = ReadFileText(folder + "/CorvaneServer.log");
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(log.find('\x1b'), std::string::npos) << log;

    // A password wrapped in quotes of its own, set while the program is stopped.
    store(kPasswdKey, "\"quoted\"");
    // The first run's output must not answer the wait for the second one's.
    std::filesystem::remove(folder + "/output.txt");
    ProgramProcess again;
    ASSERT_TRUE(again.Start(CORVANE_PROGRAM, serverNs_, folder, ""));
    ASSERT_TRUE(again.WaitForOutput("CorvaneServer Version:")) << again.Output();
    InNamespace([&] {
        EXPECT_EQ(PhoneClient(33589).Login("e2e", "quoted"), "Login:ER\n");
        EXPECT_EQ(PhoneClient(33589).Login("e2e", "\"quoted\""), "Login:OK\n");
    });
    StopAndCheckExit(again);
    // Both starts left the stored values as they were.
    SetSettingsPathForTesting(folder + "/CorvaneServer.ini");
    EXPECT_EQ(ReadSetting(kPasswdKey), "\"quoted\"");
    EXPECT_EQ(ReadSetting(kPcNameKey), umlauts);
    SetSettingsPathForTesting("");
}

TEST_F(ProgramTest, PeersThatSendWithoutReadingDoNotDelaySigterm) {
    if (serverNs_.empty()) GTEST_SKIP();
    ProgramProcess program;
    ASSERT_TRUE(program.Start(CORVANE_PROGRAM, serverNs_, Folder("flood"), ""));
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
    ASSERT_TRUE(first.Start(CORVANE_PROGRAM, serverNs_, Folder("single"), ""));
    ASSERT_TRUE(first.WaitForOutput("CorvaneServer Version:"));
    std::string before = Ini(first);

    // A copy elsewhere is the same program for the same user.
    ProgramProcess second;
    ASSERT_TRUE(second.Start(CORVANE_PROGRAM, serverNs_, Folder("single-second"), ""));
    int status = -2;
    ASSERT_TRUE(second.WaitExit(1000, &status)) << "the second copy kept running";
    EXPECT_EQ(status, 0);
    EXPECT_NE(second.Output().find("already running"), std::string::npos) << second.Output();
    // A copy without windows takes no calls: nothing is brought forward.
    EXPECT_EQ(second.Output().find("brought forward"), std::string::npos) << second.Output();
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
    ASSERT_TRUE(program.Start(CORVANE_PROGRAM, serverNs_, Folder("taken"), ""));
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

TEST_F(ProgramTest, HelpVersionAndWrongArgumentsEndAtOnceWithoutSettingsOrService) {
    if (serverNs_.empty()) GTEST_SKIP();
    const std::string version = "CorvaneServer " + std::to_string(CORVANE_VERSION_MAJOR) + "." +
                                std::to_string(CORVANE_VERSION_MINOR) + "." +
                                std::to_string(CORVANE_VERSION_PATCH) + "." +
                                std::to_string(CORVANE_VERSION_TWEAK) + "\n";
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string output;  // the whole output, or a part of it when `whole` is false
        bool whole;
    };
    const Case cases[] = {
        {{"--version"}, 0, version, true},
        {{"--help"}, 0, "Usage: CorvaneServer [--headless] [--help | --version]\n", false},
        {{"-h", "--version"}, 0, "Usage: CorvaneServer", false},
        {{"--version", "--headless-typo"},
         2,
         "CorvaneServer: unknown option '--headless-typo'\n"
         "Try 'CorvaneServer --help' for more information.\n",
         true},
        {{"slides.pptx"}, 2, "CorvaneServer: unexpected argument 'slides.pptx'\n", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        ProgramProcess program;
        ASSERT_TRUE(program.Start(CORVANE_PROGRAM, serverNs_,
                                  Folder(("options-" + std::to_string(n++)).c_str()), "", "",
                                  c.arguments));
        int status = -2;
        ASSERT_TRUE(program.WaitExit(5000, &status)) << "still running: " << program.Output();
        EXPECT_EQ(status, c.status);
        if (c.whole) {
            EXPECT_EQ(program.Output(), c.output);
        } else {
            EXPECT_NE(program.Output().find(c.output), std::string::npos) << program.Output();
        }
        // Nothing of a run: no settings, log or autostart entry, no address or service lines.
        for (const char* file :
             {"CorvaneServer.ini", "CorvaneServer.log", ".config/autostart/VolaServer.desktop"}) {
            EXPECT_FALSE(std::filesystem::exists(program.folder + "/" + file)) << file;
        }
        EXPECT_EQ(program.Output().find("IP Address"), std::string::npos);
    }
}

#ifdef CORVANE_DEB
// The Debian package unpacked into a folder of the test's own (dpkg -x), its program started from
// there: an installed program keeps its settings and log in the user's XDG folders, never beside
// the executable, says so at start, and serves phones as ever.
TEST_F(ProgramTest, UnpackedPackageKeepsItsFilesInTheXdgFoldersAndServes) {
    if (serverNs_.empty()) GTEST_SKIP();
    const std::string root = Folder("deb-root");
    std::filesystem::create_directories(root);
    ASSERT_EQ(std::system(("dpkg -x '" CORVANE_DEB "' '" + root + "'").c_str()), 0);
    const std::string executable = root + "/usr/bin/CorvaneServer";
    ASSERT_TRUE(std::filesystem::exists(root + "/usr/bin/corvane-remote"));
    // The menu entry opens a terminal only for a program without its desktop face.
    const std::string entry = ReadFileText(root + "/usr/share/applications/corvaneserver.desktop");
#if defined(CORVANE_DESKTOP_FACE_BUILT)
    EXPECT_NE(entry.find("\nTerminal=false\n"), std::string::npos) << entry;
#else
    EXPECT_NE(entry.find("\nTerminal=true\n"), std::string::npos) << entry;
#endif

    // XDG values may name HOME as "~"; the folders expected are below HOME.
    struct Run {
        const char* name;
        const char* configVariable;  // nullptr: unset
        const char* stateVariable;
        const char* configHome;
        const char* stateHome;
        int stopSignal;
    };
    const Run runs[] = {
        // The menu entry runs the program in a terminal: closing it sends SIGHUP.
        {"deb-home", nullptr, nullptr, ".config", ".local/state", SIGHUP},
        // Relative values are invalid and fall back to the defaults.
        {"deb-home-relative", "conf", "state", ".config", ".local/state", SIGTERM},
        {"deb-home-xdg", "~/xdg/config", "~/xdg/state", "xdg/config", "xdg/state", SIGTERM},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.name);
        const std::string home = Folder(run.name);
        auto value = [&](const char* v) {
            std::string text = v;
            return text[0] == '~' ? home + text.substr(1) : text;
        };
        std::vector<std::string> environment;
        if (run.configVariable)
            environment.push_back("XDG_CONFIG_HOME=" + value(run.configVariable));
        if (run.stateVariable) environment.push_back("XDG_STATE_HOME=" + value(run.stateVariable));
        const std::string settingsFolder = home + "/" + run.configHome + "/CorvaneServer";
        const std::string ini = settingsFolder + "/CorvaneServer.ini";
        const std::string log = home + "/" + run.stateHome + "/CorvaneServer/CorvaneServer.log";

        ProgramProcess program;
        ASSERT_TRUE(program.StartInPlace(serverNs_, executable, home, environment));
        ASSERT_TRUE(program.WaitForOutput("CorvaneServer Version:  1.52")) << program.Output();
        EXPECT_NE(program.Output().find("Settings: " + ini + "\nLog: " + log + "\n"),
                  std::string::npos)
            << program.Output();
        EXPECT_NE(ReadFileText(ini).find("Passwd=735"), std::string::npos) << ReadFileText(ini);
        EXPECT_NE(ReadFileText(log).find("CorvaneServer Version:  1.52\n"), std::string::npos);
        EXPECT_EQ(std::filesystem::status(settingsFolder).permissions(),
                  std::filesystem::perms::owner_all);
        // The autostart entry starts this executable.
        const std::string entry =
            ReadFileText(home + "/" + run.configHome + "/autostart/VolaServer.desktop");
        EXPECT_NE(entry.find("Exec=\"" + executable + "\"\n"), std::string::npos) << entry;

        InNamespace([&] {
            PhoneClient phone(33589);
            ASSERT_TRUE(phone.Connected());
            EXPECT_EQ(phone.Login("deb,Package Phone", "735"), "Login:OK\n");
            ASSERT_TRUE(phone.SendLine("QueryInfo:Version"));
            EXPECT_EQ(phone.ReadLine(), "QueryInfo:Version,152\n");
        });
        StopAndCheckExit(program, run.stopSignal);
        // Stopped in order: the settings of the end were written.
        EXPECT_NE(ReadFileText(ini).find("iVert=50"), std::string::npos) << ReadFileText(ini);
        EXPECT_NE(ReadFileText(ini).find("ShowMain=no"), std::string::npos) << ReadFileText(ini);
        // Nothing was written beside the executable.
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(root + "/usr/bin")) {
            names.push_back(item.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"CorvaneServer", "corvane-remote"}));
    }
}
#endif
