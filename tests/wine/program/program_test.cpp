// The real CorvaneServer.exe under Wine, copied into a fresh folder of its own: hidden start,
// the phone protocol on port 33589 over loopback, the single-instance rule and the orderly
// shutdown through the tray menu's command.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop.h"
#include "file_text.h"
#include "phone_client.h"
#include "program_copy_test.h"
#include "shell/application.h"

#ifndef CORVANE_PROGRAM
#error "CORVANE_PROGRAM must name the built CorvaneServer.exe"
#endif

namespace {

// The program's visible window (other than `except`) that has control `controlId`.
HWND VisibleWindowWithControl(DWORD process, int controlId, HWND except) {
    struct Search {
        DWORD process;
        int controlId;
        HWND except;
        HWND found;
    } search{process, controlId, except, nullptr};
    EnumWindows(
        [](HWND w, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner != s->process || w == s->except || !IsWindowVisible(w)) return TRUE;
            if (!GetDlgItem(w, s->controlId)) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class ProgramTest : public ProgramCopyTest {
protected:
    ProgramTest() : ProgramCopyTest(CORVANE_PROGRAM, "program") {}
};

}  // namespace

TEST_F(ProgramTest, StartsHiddenServesPhonesAndShutsDownInOrder) {
    StartProgram();
    if (HasFatalFailure()) return;
    const HWND window = window_;
    EXPECT_FALSE(IsWindowVisible(window));

    PhoneClient phone(kPort);
    ASSERT_TRUE(phone.Connected());
    EXPECT_EQ(phone.Login("id-1,Tester", "735"), "Login:OK\n");
    ASSERT_TRUE(phone.SendLine("QueryInfo:CmdList"));
    EXPECT_EQ(phone.ReadLine().rfind("QueryInfo:CmdList,MouseMove,", 0), 0u);

    const std::string name = Setting("PcName");
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(Probe(kPort, "Vola:x\n", 3000),
              "Vola:" + FirstHardwareAddress() + "," + name + ",33589\n");

    // The login notice shows in the program, with the phone's name.
    HWND popup = nullptr;
    EXPECT_TRUE(PumpUntil(
        [&] {
            popup = VisibleWindowWithControl(program_->Id(), 1025, window);
            return popup != nullptr;
        },
        5000));
    if (popup) {
        EXPECT_EQ(ItemText(popup, 1025), "Tester");
        Screenshot(popup, "program-popup-en");
    }

    EXPECT_EQ(Setting("ShowMain"), "yes");
    EXPECT_EQ(Setting("Passwd"), "735");
    EXPECT_EQ(Setting("AutoStart"), "yes");
    EXPECT_EQ(RunValue(), exe_);
    EXPECT_EQ(Setting("iVert"), "");  // written at shutdown only

    ShutDown();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(phone.WaitClosed(3000));
    EXPECT_FALSE(PhoneClient(kPort).Connected());
    EXPECT_EQ(Setting("iVert"), "50");
    EXPECT_EQ(Setting("iHorz"), "50");
    EXPECT_EQ(Setting("ShowMain"), "no");

    // Standard output works although the program has no console: the log lines reach it.
    const std::string output = ReadFileText(output_);
    EXPECT_NE(output.find("CorvaneServer Version:  1.52"), std::string::npos) << output;
}

TEST_F(ProgramTest, PeersThatSendWithoutReadingDoNotDelayTheShutdown) {
    // Timed: without Wine's waits for a window manager that is not there.
    UnmanagedWindows unmanaged("CorvaneServer.exe");
    TrayIconOfOurOwn trayStaysShown;
    StartProgram();
    if (HasFatalFailure()) return;
    // Neither reads what the program answers: one logged in and asking for the longest answer,
    // one that never logs in. Each leaves the program's thread for it waiting in a send.
    PhoneClient in(kPort), out(kPort);
    ASSERT_EQ(in.Login("in,Flood", "735"), "Login:OK\n");
    EXPECT_GT(in.FloodUntilStalled("QueryInfo:CmdList"), 0);
    ASSERT_TRUE(out.Connected());
    EXPECT_GT(out.FloodUntilStalled("Login:out,wrong"), 0);

    const ULONGLONG start = GetTickCount64();
    PostMessageA(window_, WM_COMMAND, kShutdownCommand, 0);
    EXPECT_EQ(program_->WaitExit(30000), 0u);
    EXPECT_LT(GetTickCount64() - start, 2000u) << ReadFileText(output_);
    window_ = nullptr;  // already shut down
}

TEST_F(ProgramTest, SecondStartShowsTheFirstCopyAndEndsAtOnce) {
    StartProgram();
    if (HasFatalFailure()) return;
    const HWND window = window_;
    ASSERT_FALSE(IsWindowVisible(window));
    const std::string settingsBefore = ReadFileText(ini_);

    const std::string secondOutput = folder_ + "\\second.txt";
    {
        ChildProcess second(exe_, "", secondOutput);
        ASSERT_TRUE(second.Started());
        EXPECT_EQ(second.WaitExit(30000), 0u);
    }
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(window) != FALSE; }, 5000));
    // The second copy touched no settings and started no service of its own.
    EXPECT_EQ(ReadFileText(ini_), settingsBefore);
    EXPECT_EQ(ReadFileText(secondOutput), "");
    DeleteFileA(secondOutput.c_str());
    Screenshot(window, "program-main-en");

    ShutDown();
    EXPECT_EQ(Setting("ShowMain"), "yes");
    EXPECT_EQ(Setting("iVert"), "50");
    EXPECT_EQ(Setting("iHorz"), "50");
    // Once visible the window painted its shape, which it reports on standard output.
    const std::string output = ReadFileText(output_);
    EXPECT_NE(output.find("W="), std::string::npos) << output;
}
