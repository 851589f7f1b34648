// The real Linux program with its desktop face, inside a network namespace of the test's own,
// on a private X server and session bus: the tray icon of either kind (an embedding tray host,
// and a StatusNotifier host of the test's own over D-Bus), the window where there is no tray,
// and every page's controls clicked and typed into through the X server as a user would, with
// the effect checked by a phone and by probes inside the namespace.
#include <X11/keysym.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "app/qt/face_layout.h"
#include "desktop_session.h"
#include "file_text.h"
#include "netns_fixture.h"
#include "phone_client.h"
#include "program_process.h"

#if !defined(SNI_WATCHER)
#define SNI_WATCHER ""  // built only with the desktop face, whose tests are skipped without it
#endif

namespace {

constexpr char kTitle[] = "CorvaneServer";
const PixelRect kWindow = ToPixels(kMain.window, kMainUnits);

class ProgramDesktopTest : public NetnsDiscovery {
protected:
    void SetUp() override {
        NetnsDiscovery::SetUp();
#if !defined(CORVANE_DESKTOP_FACE_BUILT)
        GTEST_SKIP() << "the program was built without its desktop face (no Qt 6 Widgets)";
#endif
        if (serverNs_.empty()) GTEST_SKIP();
        ASSERT_TRUE(desktop_.Start()) << "no private X server or session bus";
        x_ = std::make_unique<XDriver>(desktop_.display());
        ASSERT_TRUE(x_->ok());
    }
    void TearDown() override {
        program_.reset();
        NetnsDiscovery::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    // Starts the real program with the desktop's display and bus.
    void StartProgram(const std::vector<std::string>& arguments = {}) {
        program_ = std::make_unique<ProgramProcess>();
        std::vector<std::string> environment = {"DBUS_SESSION_BUS_ADDRESS=" +
                                                desktop_.busAddress()};
        ASSERT_TRUE(program_->Start(CORVANE_PROGRAM, serverNs_, folder_, desktop_.display(), "",
                                    arguments, environment));
        ASSERT_TRUE(program_->WaitForOutput("CorvaneServer Version:", 10000)) << program_->Output();
    }
    // The main window on screen with the keyboard (0 when it did not come). There is no window
    // manager on the test's display, so the test hands the keyboard over as one would.
    unsigned long WaitForWindow() {
        unsigned long window = 0;
        WaitFor([&] { return (window = x_->FindTopLevel(kTitle, kWindow.w, kWindow.h)) != 0; },
                10000);
        if (window == 0) return 0;
        x_->Focus(window);
        if (!WaitFor([&] { return x_->HasFocus(window); }, 5000)) return 0;
        x_->Geometry(window, &window_);
        return window;
    }
    // Clicks the tray icon until `done` holds, as a user clicks again when nothing happened:
    // a click that reaches the icon while the tray host is still taking it in is lost, and the
    // host may still move it (each click goes where it is then). Clicks again only while
    // nothing is open (a click on an open menu would choose from it).
    bool ClickIconUntil(unsigned long icon, unsigned button, int times,
                        const std::function<bool()>& done) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (!x_->MappedPopups().empty()) return WaitFor(done, 5000);
            if (!x_->ClickWindow(icon, button, times)) return false;
            if (WaitFor(done, 3000)) return true;
        }
        return false;
    }
    bool WindowGone() {
        return WaitFor([&] { return x_->FindTopLevel(kTitle, kWindow.w, kWindow.h) == 0; }, 5000);
    }
    // Clicks the middle of a control of the main window or of a page.
    void ClickMain(const DialogRect& rect, int times = 1) {
        const PixelRect r = ToPixels(rect, kMainUnits);
        x_->Click(window_.x + r.CenterX(), window_.y + r.CenterY(), 1, times);
    }
    void ClickPage(const DialogRect& rect) {
        const PixelRect r = ToPixels(rect, kPageUnits);
        x_->Click(window_.x + kMain.pageX + r.CenterX(), window_.y + kMain.pageY + r.CenterY());
    }
    // Replaces a page field's text the way a user does: click, select everything, type.
    void Retype(const DialogRect& field, const std::string& text) {
        ClickPage(field);
        x_->Key(XK_a, /*control=*/true);
        x_->Type(text);
    }
    void InNamespace(const std::function<void()>& body) {
        std::string error;
        ASSERT_TRUE(RunInNamespace(serverNs_, body, &error)) << error;
    }
    // Waits until a phone inside the namespace gets `answer` to a login with `password`.
    bool LoginAnswers(const std::string& password, const std::string& answer) {
        return WaitFor(
            [&] {
                std::string got;
                InNamespace([&] {
                    PhoneClient phone(33589);
                    got = phone.Connected() ? phone.Login("desk", password) : "refused";
                });
                return got == answer;
            },
            5000);
    }
    std::string Ini() { return ReadFileText(folder_ + "/CorvaneServer.ini"); }
    std::string AutoStartEntry() { return folder_ + "/.config/autostart/VolaServer.desktop"; }
    // The program ends in order (status 0) soon after `what`.
    void ExpectOrderlyEnd(const std::string& what) {
        int status = -2;
        ASSERT_TRUE(program_->WaitExit(5000, &status)) << "still running after " << what << "\n"
                                                       << program_->Output();
        EXPECT_EQ(status, 0);
    }
    void StopAndCheckExit() {
        program_->Signal(SIGTERM);
        ExpectOrderlyEnd("SIGTERM");
    }

    PrivateDesktop desktop_;
    std::unique_ptr<XDriver> x_;
    std::unique_ptr<ProgramProcess> program_;
    ScreenRect window_;
    std::string folder_ =
        testing::TempDir() + "corvane-program-desktop-" + std::to_string(getpid());
};

// "int32 <id>" of every menu entry that has a label, from dbus-send's print of a
// com.canonical.dbusmenu layout.
std::vector<std::pair<int, std::string>> MenuLabels(const std::string& layout) {
    std::vector<std::pair<int, std::string>> items;
    std::regex token(R"re(struct \{\s*int32 (\d+)|string "label"\s*variant\s*string "([^"]*)")re");
    int id = -1;
    for (auto it = std::sregex_iterator(layout.begin(), layout.end(), token);
         it != std::sregex_iterator(); ++it) {
        if ((*it)[1].matched) {
            id = std::stoi((*it)[1].str());
        } else if (!(*it)[2].str().empty()) {
            items.emplace_back(id, (*it)[2].str());
        }
    }
    return items;
}

// Runs a command and returns what it printed.
std::string RunCommand(const std::vector<std::string>& args,
                       const std::vector<std::string>& environment, const std::string& outputPath) {
    ChildProcess child;
    if (!child.Start(args, environment, outputPath)) return std::string();
    WaitFor([&] { return !child.Running(); }, 10000);
    return ReadFileText(outputPath);
}

}  // namespace

TEST_F(ProgramDesktopTest, TrayIconAndEveryPageDriveTheRunningProgram) {
    ASSERT_TRUE(desktop_.StartTrayHost());
    StartProgram();
    // Hidden at start: only the icon, docked in the tray host.
    unsigned long icon = 0;
    ASSERT_TRUE(WaitFor([&] { return (icon = x_->FindTrayIcon(kTitle)) != 0; }, 10000))
        << "no icon in the tray host\n"
        << program_->Output();
    EXPECT_EQ(x_->FindTopLevel(kTitle, kWindow.w, kWindow.h), 0u);
    EXPECT_TRUE(program_->WaitForOutput("Desktop: tray icon"));

    // A right click opens the menu; Escape closes it.
    auto menuOpen = [&] {
        std::vector<unsigned long> popups = x_->MappedPopups();
        return !popups.empty() && x_->PaintedLight(popups.front());
    };
    ASSERT_TRUE(ClickIconUntil(icon, 3, 1, menuOpen)) << "no menu\n" << program_->Output();
    x_->Key(XK_Escape);
    ASSERT_TRUE(WaitFor([&] { return x_->MappedPopups().empty(); }, 5000));

    // A double click shows the window.
    ASSERT_TRUE(ClickIconUntil(icon, 1, 2,
                               [&] { return x_->FindTopLevel(kTitle, kWindow.w, kWindow.h) != 0; }))
        << "double click showed no window\n"
        << program_->Output();
    ASSERT_NE(WaitForWindow(), 0u);

    // Connection page: the password typed there is the next login's.
    const BasicLayout& basic = kBasicEnglish;
    ASSERT_TRUE(LoginAnswers("735", "Login:OK\n"));
    Retype(basic.password, "4711");
    // Every keystroke is stored, after it reached the service: once the file holds the whole
    // password, so does the service. (Logging in earlier would try the half-typed ones, and
    // five failures lock the phone out for a minute.)
    ASSERT_TRUE(WaitFor([&] { return Ini().find("Passwd=4711\n") != std::string::npos; }, 5000))
        << Ini();
    EXPECT_TRUE(LoginAnswers("4711", "Login:OK\n"));
    EXPECT_TRUE(LoginAnswers("735", "Login:ER\n"));
    // The computer name typed there is in the next discovery reply.
    Retype(basic.name, "Aula 7");
    EXPECT_TRUE(WaitFor(
        [&] {
            std::string reply;
            InNamespace([&] { reply = Probe(33589, "Vola:desk,hello\n", 1000); });
            return reply.find(",Aula 7,33589\n") != std::string::npos;
        },
        5000));
    // The service button stops the service (connections are refused) and starts it again.
    ClickPage(basic.service);
    EXPECT_TRUE(LoginAnswers("4711", "refused"));
    ClickPage(basic.service);
    EXPECT_TRUE(LoginAnswers("4711", "Login:OK\n"));

    // Settings page: the autostart box removes and writes the entry.
    ASSERT_TRUE(std::filesystem::exists(AutoStartEntry()));
    ClickMain(kMain.pageButtons[1]);
    ClickPage(kAdvancedEnglish.autoStart);
    EXPECT_TRUE(WaitFor([&] { return !std::filesystem::exists(AutoStartEntry()); }, 5000));
    ClickPage(kAdvancedEnglish.autoStart);
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(AutoStartEntry()); }, 5000));

    // The close button hides the window behind the icon.
    ClickMain(kMain.close);
    EXPECT_TRUE(WindowGone());
    const std::string ini = Ini();
    for (const char* line : {"Passwd=4711", "PcName=Aula 7", "AutoStart=yes"}) {
        EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
    }

    // The menu's last entry, "Shutdown", ends the program in order.
    ASSERT_TRUE(ClickIconUntil(icon, 3, 1, menuOpen));
    x_->Key(XK_Up);
    x_->Key(XK_Return);
    ExpectOrderlyEnd("the menu's Shutdown");
    EXPECT_NE(Ini().find("ShowMain=no"), std::string::npos) << Ini();
}

TEST_F(ProgramDesktopTest, WithoutATrayTheWindowShowsAtStartAndClosingAsks) {
    StartProgram();
    ASSERT_NE(WaitForWindow(), 0u) << "no window at start without a tray\n" << program_->Output();
    EXPECT_TRUE(program_->WaitForOutput("Desktop: no tray"));
    EXPECT_TRUE(LoginAnswers("735", "Login:OK\n"));

    // The close button asks; "No" (Escape) keeps the program and its window.
    ClickMain(kMain.close);
    // The question is the other window of that name.
    const unsigned long main = x_->FindTopLevel(kTitle, kWindow.w, kWindow.h);
    unsigned long question = 0;
    auto findQuestion = [&] {
        question = 0;
        for (unsigned long window : x_->FindTopLevels(kTitle)) {
            if (window != main) question = window;
        }
        return question != 0;
    };
    // Keys go to the question once it has the keyboard (handed over as a window manager would).
    auto questionListens = [&] {
        if (!findQuestion()) return false;
        if (!x_->HasFocus(question)) x_->Focus(question);
        return x_->HasFocus(question);
    };
    ASSERT_TRUE(WaitFor(questionListens, 5000)) << "closing did not ask";
    x_->Key(XK_Escape);
    ASSERT_TRUE(WaitFor([&] { return !findQuestion(); }, 5000));
    EXPECT_TRUE(program_->Running());
    EXPECT_NE(x_->FindTopLevel(kTitle, kWindow.w, kWindow.h), 0u);

    // "Yes" (Tab from the default "No", then Space) ends it in order.
    ClickMain(kMain.close);
    ASSERT_TRUE(WaitFor(questionListens, 5000));
    x_->Key(XK_Tab);
    x_->Key(XK_space);
    ExpectOrderlyEnd("Yes");
    EXPECT_NE(Ini().find("ShowMain=yes"), std::string::npos) << Ini();
}

TEST_F(ProgramDesktopTest, StatusNotifierHostActivatesTheItemAndReadsItsMenu) {
    ChildProcess watcher;
    const std::string watcherOutput = folder_ + "-watcher.txt";
    ASSERT_TRUE(watcher.Start({SNI_WATCHER}, desktop_.Environment(), watcherOutput));
    ASSERT_TRUE(WaitFor(
        [&] { return ReadFileText(watcherOutput).find("watching") != std::string::npos; }, 10000))
        << ReadFileText(watcherOutput);
    StartProgram();
    std::smatch found;
    std::string service;
    ASSERT_TRUE(WaitFor(
        [&] {
            const std::string text = ReadFileText(watcherOutput);
            if (!std::regex_search(text, found, std::regex("registered (\\S+)"))) return false;
            service = found[1].str();
            return true;
        },
        10000))
        << "no item registered\n"
        << program_->Output();
    EXPECT_EQ(x_->FindTrayIcon(kTitle), 0u) << "an embedded icon as well";

    // The host's activation (a click on the icon) shows the window.
    const std::string replies = folder_ + "-dbus.txt";
    RunCommand({"dbus-send", "--session", "--print-reply", "--dest=" + service,
                "/StatusNotifierItem", "org.kde.StatusNotifierItem.Activate", "int32:0", "int32:0"},
               desktop_.Environment(), replies);
    ASSERT_NE(WaitForWindow(), 0u) << "activation showed no window";

    // The menu the host shows: the items in order, with Shutdown ending the program.
    const std::string layout =
        RunCommand({"dbus-send", "--session", "--print-reply", "--dest=" + service, "/MenuBar",
                    "com.canonical.dbusmenu.GetLayout", "int32:0", "int32:-1", "array:string:"},
                   desktop_.Environment(), replies);
    std::vector<std::pair<int, std::string>> items = MenuLabels(layout);
    std::string labels;
    for (const auto& item : items) labels += "[" + item.second + "]";
    EXPECT_EQ(labels, "[Config][About][Shutdown]") << layout;
    ASSERT_FALSE(items.empty());
    RunCommand({"dbus-send", "--session", "--print-reply", "--dest=" + service, "/MenuBar",
                "com.canonical.dbusmenu.Event", "int32:" + std::to_string(items.back().first),
                "string:clicked", "variant:int32:0", "uint32:0"},
               desktop_.Environment(), replies);
    int status = -2;
    ASSERT_TRUE(program_->WaitExit(5000, &status))
        << "Shutdown from the host's menu did not end it";
    EXPECT_EQ(status, 0);
    std::filesystem::remove(watcherOutput);
    std::filesystem::remove(replies);
}

TEST_F(ProgramDesktopTest, SecondStartBringsTheRunningCopysWindowForward) {
    ASSERT_TRUE(desktop_.StartTrayHost());
    StartProgram();
    ASSERT_TRUE(program_->WaitForOutput("Desktop: tray icon")) << program_->Output();
    EXPECT_EQ(x_->FindTopLevel(kTitle, kWindow.w, kWindow.h), 0u);

    // A second start (from a menu, say) ends at once and the first copy shows its window.
    ProgramProcess second;
    ASSERT_TRUE(second.Start(CORVANE_PROGRAM, serverNs_, folder_ + "-second", desktop_.display(),
                             "", {}, {"DBUS_SESSION_BUS_ADDRESS=" + desktop_.busAddress()}));
    int status = -2;
    ASSERT_TRUE(second.WaitExit(5000, &status)) << "the second copy kept running";
    EXPECT_EQ(status, 0);
    EXPECT_NE(second.Output().find("brought forward"), std::string::npos) << second.Output();
    EXPECT_NE(WaitForWindow(), 0u) << "the running copy showed no window";
    EXPECT_TRUE(program_->Running());
    std::error_code ignored;
    std::filesystem::remove_all(folder_ + "-second", ignored);
    StopAndCheckExit();
}

TEST_F(ProgramDesktopTest, HeadlessOptionShowsNothingOnTheDisplay) {
    ASSERT_TRUE(desktop_.StartTrayHost());
    StartProgram({"--headless"});
    EXPECT_TRUE(LoginAnswers("735", "Login:OK\n"));
    EXPECT_EQ(x_->FindTrayIcon(kTitle), 0u);
    EXPECT_EQ(x_->FindTopLevel(kTitle), 0u);
    StopAndCheckExit();
    // The face announces itself before its first window; a whole run without that line never
    // had one.
    EXPECT_EQ(program_->Output().find("Desktop:"), std::string::npos) << program_->Output();
}
