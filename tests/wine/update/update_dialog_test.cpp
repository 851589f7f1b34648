// The update window under Wine: its place and texts, the progress display (photographed into
// <build>/screenshots/update/), the cancel question, and a whole update against the scripted
// service on 127.0.0.1: question, download with progress, installer started, shutdown sent.
#include <windows.h>
// <windows.h> makes SetComputerName a macro for the system function; the application's own
// method of that name is meant here.
#undef SetComputerName

#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/update_dialog.h"
#include "desktop.h"
#include "platform/automation_host.h"
#include "platform/input.h"
#include "platform/text_conversion.h"
#include "resource.h"
#include "shell/application.h"
#include "update_server.h"
#include "wait_until.h"

namespace {

using testing::HasSubstr;

constexpr DWORD kMessageTextId = 0xFFFF;  // the text of a system message box

// Stands in for the main window: a plain top-level window that notes the commands it gets.
class OwnerWindow {
public:
    OwnerWindow() {
        window_ = CreateTestWindow(L"CorvaneUpdateTestOwner", Procedure, L"owner",
                                   WS_OVERLAPPEDWINDOW, 400, 300, 300, 200);
        shutdowns = 0;
    }
    ~OwnerWindow() { DestroyWindow(window_); }
    HWND handle() const { return window_; }
    static inline int shutdowns = 0;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COMMAND && LOWORD(wParam) == ID_TRAY_SHUTDOWN) {
            ++shutdowns;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

int ProgressPosition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_UPDATE_PROGRESS, PBM_GETPOS, 0, 0));
}

std::string Utf8(const std::wstring& text) {
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

// A message box (class #32770) of the given thread whose owner is `owner` (any owner when
// null) and whose caption is `caption`; null while there is none.
HWND FindMessageBox(DWORD thread, HWND owner, const wchar_t* caption) {
    struct Search {
        HWND owner;
        const wchar_t* caption;
        HWND found;
    } search{owner, caption, nullptr};
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t className[16] = L"";
            wchar_t title[64] = L"";
            GetClassNameW(window, className, 16);
            GetWindowTextW(window, title, 64);
            if (lstrcmpW(className, L"#32770") == 0 && lstrcmpW(title, s->caption) == 0 &&
                (s->owner == nullptr || GetWindow(window, GW_OWNER) == s->owner)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Answers the cancel question from another thread while the window's own thread sits in the
// box; keeps the box's text.
class CancelAnswer {
public:
    CancelAnswer(HWND dialog, int answer) {
        const DWORD thread = GetCurrentThreadId();
        worker_ = std::thread([this, dialog, answer, thread] {
            WaitUntil(
                [&] {
                    return (box_ = FindMessageBox(thread, dialog, L"CorvaneServer")) != nullptr;
                },
                std::chrono::seconds(10));
            if (!box_) return;
            text_ = TextOf(GetDlgItem(box_, kMessageTextId));
            PostMessageW(box_, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        });
    }
    ~CancelAnswer() {
        if (worker_.joinable()) worker_.join();
    }
    std::string Text() {
        if (worker_.joinable()) worker_.join();
        return text_;
    }

private:
    HWND box_ = nullptr;
    std::string text_;
    std::thread worker_;
};

class UpdateDialogTest : public testing::Test {
protected:
    UpdateDialogTest() : application(CreateSystemInputInjector(), CreateSystemAutomationHost()) {
        application.HardwareAddressText = "00-1A-2B-3C-4D-5E";
        application.SetComputerName("WINE PC&1");
        application.ShowFlag = 1;
    }

    // A window whose update thread has nothing to do (no service address).
    void OpenIdle() {
        dialog = std::make_unique<CUpdateDlg>(application, UpdateSettings(), HttpClientOptions());
        ASSERT_TRUE(dialog->CreateHidden(owner.handle()));
    }
    HWND Dialog() const { return dialog->handle(); }

    OwnerWindow owner;
    CorvaneApplication application;
    std::unique_ptr<CUpdateDlg> dialog;
};

TEST_F(UpdateDialogTest, CreatedHiddenTopMostAt20And10WithItsCaption) {
    OpenIdle();
    HWND window = Dialog();
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(TextOf(window), "CorvaneRemote Update");
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 20);
    EXPECT_EQ(rect.top, 10);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindow(window, GW_OWNER), owner.handle());
    PBRANGE range{};
    SendDlgItemMessageW(window, IDC_UPDATE_PROGRESS, PBM_GETRANGE, FALSE,
                        reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(ProgressPosition(window), 0);
    EXPECT_EQ(ItemText(window, IDC_UPDATE_TEXT), "");
}

// The environment variables the system takes the temporary folder from, changed for a case and
// put back afterwards.
class TemporaryFolderVariables {
public:
    TemporaryFolderVariables() {
        for (const char* name : kNames) {
            char value[4096] = "";
            const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
            saved_.push_back({name, length > 0 && length < sizeof value, value});
        }
    }
    ~TemporaryFolderVariables() {
        for (const Saved& s : saved_)
            SetEnvironmentVariableA(s.name, s.set ? s.value.c_str() : nullptr);
    }
    void SetAll(const std::string& value) {
        for (const char* name : kNames) SetEnvironmentVariableA(name, value.c_str());
    }

private:
    static constexpr const char* kNames[] = {"TMP", "TEMP", "USERPROFILE"};
    struct Saved {
        const char* name;
        bool set;
        std::string value;
    };
    std::vector<Saved> saved_;
};

TEST(InstallerDownloadPath, IsInTheTemporaryFolderOrEmptyWhenThereIsNone) {
    char folder[MAX_PATH] = "";
    ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
    EXPECT_EQ(InstallerDownloadPath(), std::string(folder) + "\\Slidora.exe");

    // A folder too long for the system's path limit: the lookup fails, and the installer must
    // then not land at the root of the drive ("\Slidora.exe").
    TemporaryFolderVariables variables;
    variables.SetAll("C:\\" + std::string(300, 'x'));
    char tooLong[MAX_PATH] = "";
    const DWORD length = GetTempPathA(MAX_PATH, tooLong);
    ASSERT_TRUE(length == 0 || length >= MAX_PATH) << "the lookup still worked: " << tooLong;
    EXPECT_EQ(InstallerDownloadPath(), "");
}

TEST_F(UpdateDialogTest, ProgressTexts) {
    EXPECT_EQ(Utf8(CUpdateDlg::ProgressText(0)),
              "Downloading\xEF\xBC\x8C"
              "Complete 0%");
    EXPECT_EQ(Utf8(CUpdateDlg::ProgressText(99)),
              "Downloading\xEF\xBC\x8C"
              "Complete 99%");
    EXPECT_EQ(Utf8(CUpdateDlg::ProgressText(100)), "Download Complete, Wait For Installing.");
}

TEST_F(UpdateDialogTest, ProgressAtHalfAndAtCompletionPhotographed) {
    OpenIdle();
    HWND window = Dialog();
    ShowWindow(window, SW_SHOWNOACTIVATE);
    // A 40,000,000-byte installer, half of it in.
    PostMessageW(window, UpdateProgressMessage, 20'000'000, 40'000'000);
    ASSERT_TRUE(PumpUntil([&] { return ProgressPosition(window) == 50; }, 5000));
    // "Downloading，Complete 50%" with the full-width comma, as the window shows it.
    EXPECT_EQ(ItemText(window, IDC_UPDATE_TEXT),
              "Downloading\xEF\xBC\x8C"
              "Complete 50%");
    EXPECT_TRUE(Screenshot(window, "update_progress_50", 10, "update"));

    PostMessageW(window, UpdateProgressMessage, 40'000'000, 40'000'000);
    ASSERT_TRUE(PumpUntil([&] { return ProgressPosition(window) == 100; }, 5000));
    EXPECT_EQ(ItemText(window, IDC_UPDATE_TEXT), "Download Complete, Wait For Installing.");
    EXPECT_TRUE(Screenshot(window, "update_progress_complete", 10, "update"));
}

TEST_F(UpdateDialogTest, PercentagesUse64BitsAndIgnoreAMissingTotal) {
    OpenIdle();
    HWND window = Dialog();
    // Three quarters of 4,000,000,000 bytes: bytes times 100 does not fit 32 bits.
    SendMessageW(window, UpdateProgressMessage, 3'000'000'000ULL, 4'000'000'000LL);
    EXPECT_EQ(ProgressPosition(window), 75);
    EXPECT_EQ(ItemText(window, IDC_UPDATE_TEXT),
              "Downloading\xEF\xBC\x8C"
              "Complete 75%");
    // No total: nothing changes.
    SendMessageW(window, UpdateProgressMessage, 10, 0);
    EXPECT_EQ(ProgressPosition(window), 75);
}

TEST_F(UpdateDialogTest, AnsweringNoToTheCancelQuestionChangesNothing) {
    OpenIdle();
    HWND window = Dialog();
    ShowWindow(window, SW_SHOWNOACTIVATE);
    CancelAnswer answer(window, IDNO);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(answer.Text(), "Cancel Update ? ");
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(dialog->UpdateCancelRequested.load(), 0);
}

TEST_F(UpdateDialogTest, EscapeAndYesHideTheWindowAndRequestTheCancel) {
    OpenIdle();
    HWND window = Dialog();
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    CancelAnswer answer(window, IDYES);
    // Escape goes through the thread's message loop, as a key press would.
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_TRUE(PumpUntil([&] { return dialog->UpdateCancelRequested.load() == 1; }, 10000));
    EXPECT_EQ(answer.Text(), "Cancel Update ? ");
    EXPECT_FALSE(IsWindowVisible(window));
}

// With the scripted service. One server for the whole program: the system reads its trusted
// certificates once, at the first secure connection.
class UpdateCycleWindowTest : public UpdateDialogTest {
protected:
    static void SetUpTestSuite() { server_ = UpdateServer::Started(&startError_); }
    static void TearDownTestSuite() { server_.reset(); }
    void SetUp() override { ASSERT_NE(server_, nullptr) << startError_; }

    static inline std::unique_ptr<UpdateServer> server_;
    static inline std::string startError_;
};

TEST_F(UpdateCycleWindowTest, AWholeUpdate) {
    UpdateServer& server = *server_;
    // The "installer" is a small program that notes it was started.
    ASSERT_TRUE(CopyFileA(WindowsPathFor(CORVANE_FAKE_INSTALLER).c_str(),
                          server.LocalPath("installer.exe").c_str(), FALSE));
    char folder[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, folder);
    const std::string download = std::string(folder) + "\\Slidora.exe";
    DeleteFileA((download + ".ran").c_str());

    UpdateSettings settings;
    settings.serviceUrl = server.Url("https", "/installer/downloadapp.php");
    settings.firstWaitMs = 0;
    dialog = std::make_unique<CUpdateDlg>(application, settings, server.ClientOptions());
    ShowWindow(owner.handle(), SW_SHOW);
    ASSERT_TRUE(dialog->CreateHidden(owner.handle()));

    // The question comes from the update thread, on its own.
    HWND question = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] {
            EnumWindows(
                [](HWND window, LPARAM found) -> BOOL {
                    wchar_t title[64] = L"";
                    GetWindowTextW(window, title, 64);
                    if (lstrcmpW(title, L"Slidora Update") != 0) return TRUE;
                    *reinterpret_cast<HWND*>(found) = window;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&question));
            return question != nullptr;
        },
        30000));
    // Once it is set up: its text in place.
    ASSERT_TRUE(
        PumpUntil([&] { return !TextOf(GetDlgItem(question, kMessageTextId)).empty(); }, 5000));
    EXPECT_EQ(TextOf(GetDlgItem(question, kMessageTextId)),
              "CorvaneServer Has New Version. \r\n\r\n Update ? ");
    // It stands alone. (It is asked to be top-most as well, which Wine does not carry out.)
    EXPECT_EQ(GetWindow(question, GW_OWNER), nullptr);
    PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);

    // Downloaded, shown as complete, started, and the shutdown command sent.
    ASSERT_TRUE(PumpUntil([&] { return OwnerWindow::shutdowns == 1; }, 30000));
    Pump(200);
    EXPECT_EQ(ProgressPosition(Dialog()), 100);
    EXPECT_EQ(ItemText(Dialog(), IDC_UPDATE_TEXT), "Download Complete, Wait For Installing.");
    EXPECT_FALSE(IsWindowVisible(owner.handle()));
    EXPECT_EQ(application.ShowFlag, 0);
    EXPECT_FALSE(IsWindowVisible(Dialog()));  // hidden again after the download
    EXPECT_TRUE(PumpUntil(
        [&] { return GetFileAttributesA((download + ".ran").c_str()) != INVALID_FILE_ATTRIBUTES; },
        30000))
        << "the installer was not started";
    // The form as the service got it: this program's version resource, the application's
    // values, no presentation program under Wine.
    EXPECT_THAT(server.ReadFile("installer.body"),
                HasSubstr("package=windows.slidora&version=1.52&uid=00-1A-2B-3C-4D-5E"
                          "&mid=WINE PC&1&rom="));
    dialog->End(0);  // the thread ends with the window
    EXPECT_EQ(dialog->handle(), nullptr);
    DeleteFileA((download + ".ran").c_str());
    DeleteFileA(download.c_str());
}

TEST_F(UpdateCycleWindowTest, DestroyingTheWindowAnswersAnOpenQuestionAndEndsTheThread) {
    UpdateServer& server = *server_;
    UpdateSettings settings;
    settings.serviceUrl = server.Url("https", "/ok/downloadapp.php");
    settings.firstWaitMs = 0;
    dialog = std::make_unique<CUpdateDlg>(application, settings, server.ClientOptions());
    ASSERT_TRUE(dialog->CreateHidden(owner.handle()));
    ASSERT_TRUE(
        PumpUntil([&] { return FindWindowW(L"#32770", L"Slidora Update") != nullptr; }, 30000));
    dialog->End(0);
    EXPECT_EQ(dialog->handle(), nullptr);
    EXPECT_TRUE(
        PumpUntil([&] { return FindWindowW(L"#32770", L"Slidora Update") == nullptr; }, 5000));
    EXPECT_EQ(OwnerWindow::shutdowns, 0);
}

}  // namespace
