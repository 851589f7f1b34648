// The installer and uninstaller as a user sees them, in English and in Chinese (chosen by the
// user's locale, as the program chooses): every page is clicked through and photographed into
// <build>/screenshots/installer/.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop.h"
#include "installer_fixture.h"

namespace {

constexpr int kNextButton = 1;  // Next / Install / Finish / Uninstall / Close

struct Language {
    const char* name;
    const char* locale;  // LC_ALL of the Wine process: Wine takes the user's locale from it
    const char* installerCaption;
    const char* uninstallerCaption;
    const char* finishButton;
};

constexpr Language kLanguages[] = {
    {"en", "en_US.UTF-8", "CorvaneServer Setup", "CorvaneServer Uninstall", "&Finish"},
    {"zh", "zh_CN.UTF-8", "CorvaneServer 安装", "CorvaneServer 卸载", "完成(&F)"},
};

std::string Folder() { return ScreenshotFolder("installer"); }

// The title without the blank the pages after the first one append (their empty subcaption).
std::string Title(HWND window) {
    std::string text = TextOf(window);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// A visible top-level dialog whose title is `caption` (a message box carries its owner's title:
// `withText` picks the one holding a control with that text, "" the one without).
HWND DialogTitled(const std::string& caption, const std::string& withText) {
    struct Search {
        const std::string& caption;
        const std::string& withText;
        HWND found;
    } search{caption, withText, nullptr};
    EnumWindows(
        [](HWND w, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (!IsWindowVisible(w) || Title(w) != s->caption) return TRUE;
            bool holds = false;
            for (HWND child = GetWindow(w, GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                if (!s->withText.empty() && TextOf(child).find(s->withText) != std::string::npos) {
                    holds = true;
                }
            }
            if (holds == !s->withText.empty()) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(const std::string& caption, const std::string& withText = "") {
    HWND found = nullptr;
    PumpUntil([&] { return (found = DialogTitled(caption, withText)) != nullptr; }, 60000);
    return found;
}

// Starts a Windows program under `locale`. Wine sets a process's locale from its Unix
// environment, which a Windows parent cannot change, so a shell starts it through wine; that
// start cannot be waited for (the windows can).
bool StartUnderLocale(const char* locale, const std::string& program) {
    std::string command = std::string("/bin/sh -c \"LC_ALL=") + locale + " exec wine '" + program +
                          "' >/dev/null 2>&1\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    return true;
}

// Clicks a dialog's button the way a mouse click ends up, but without waiting for the dialog:
// a page change of the installer does not return a sent click while it builds the next page.
void PostClick(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool NextEnabled(HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, kNextButton)) != FALSE; }

// The finish page's "Run CorvaneServer" box (a check box on the page's own child dialog).
HWND RunCheckBox(HWND dialog) {
    HWND found = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND w, LPARAM data) -> BOOL {
            const LONG style = GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK;
            if ((style == BS_CHECKBOX || style == BS_AUTOCHECKBOX) &&
                TextOf(w).find("CorvaneServer") != std::string::npos) {
                *reinterpret_cast<HWND*>(data) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

class InstallerPagesTest : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        // No window manager runs on the test display: Wine draws these programs' captions
        // itself, so the pictures show the titles, and closes their windows at once.
        for (std::string program : {std::string("CorvaneServer-") + ProjectVersion() + "-setup.exe",
                                    std::string("Un.exe")}) {
            const std::string key = "Software\\Wine\\AppDefaults\\" + program + "\\X11 Driver";
            RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Decorated", REG_SZ, "N", 2);
            RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Managed", REG_SZ, "N", 2);
        }
        CreateDirectoryA(WindowsPathFor(Folder()).c_str(), nullptr);
    }
    void TearDown() override {
        // A case that failed half-way leaves a wizard open: it goes first (its own cancel would
        // ask), then the running copy and the installation.
        for (const Language& language : kLanguages) {
            for (const char* caption : {language.installerCaption, language.uninstallerCaption}) {
                while (HWND left = DialogTitled(caption, "")) {
                    DWORD id = 0;
                    GetWindowThreadProcessId(left, &id);
                    ChildProcess wizard;
                    if (!wizard.Adopt(id)) break;
                    // ~ChildProcess ends it.
                }
            }
        }
        InstallerTest::TearDown();
    }
};

TEST_F(InstallerPagesTest, EveryPageInEnglishAndChinese) {
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        const std::string prefix = std::string(language.name) + "-";
        ASSERT_TRUE(StartUnderLocale(language.locale, InstallerPath()));
        HWND setup = WaitForDialog(language.installerCaption);
        ASSERT_NE(setup, nullptr) << "no window titled " << language.installerCaption;
        EXPECT_TRUE(Screenshot(setup, prefix + "1-welcome", 12, "installer"));

        PostClick(setup, kNextButton);  // Install
        ASSERT_TRUE(PumpUntil([&] { return UninstallKeyExists() && NextEnabled(setup); }, 60000));
        EXPECT_TRUE(Screenshot(setup, prefix + "2-installed", 12, "installer"));

        PostClick(setup, kNextButton);
        ASSERT_TRUE(PumpUntil([&] { return ItemText(setup, kNextButton) == language.finishButton; },
                              30000));
        HWND run = RunCheckBox(setup);
        ASSERT_NE(run, nullptr);
        EXPECT_EQ(SendMessageW(run, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_TRUE(Screenshot(setup, prefix + "3-finish", 12, "installer"));
        // Finish with "Run CorvaneServer" checked starts the installed program.
        PostClick(setup, kNextButton);
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(setup); }, 30000));
        EXPECT_NE(WaitUntilServing(), 0u);

        // The uninstaller runs as a copy of itself from the temporary folder.
        ASSERT_TRUE(StartUnderLocale(language.locale, InstalledFile("uninstall.exe")));
        HWND uninstall = WaitForDialog(language.uninstallerCaption);
        ASSERT_NE(uninstall, nullptr) << "no window titled " << language.uninstallerCaption;
        EXPECT_TRUE(Screenshot(uninstall, prefix + "4-uninstall", 12, "installer"));
        PostClick(uninstall, kNextButton);  // Uninstall: closes the running copy, then asks
        HWND question = WaitForDialog(language.uninstallerCaption, "CorvaneServer.ini");
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(RunningCopy(), 0u);
        EXPECT_TRUE(Screenshot(question, prefix + "5-keep-settings", 12, "installer"));
        PostClick(question, IDYES);
        ASSERT_TRUE(
            PumpUntil([&] { return !UninstallKeyExists() && NextEnabled(uninstall); }, 60000));
        EXPECT_TRUE(Screenshot(uninstall, prefix + "6-uninstalled", 12, "installer"));
        PostClick(uninstall, kNextButton);  // Close
        EXPECT_TRUE(PumpUntil([&] { return !IsWindow(uninstall); }, 30000));
        EXPECT_TRUE(FileExists(InstalledFile("CorvaneServer.ini")));
        EXPECT_FALSE(FileExists(InstalledFile("CorvaneServer.exe")));
        RemoveInstallation();
    }
}
