// The Windows installer under Wine: runs it and its uninstaller, finds what they leave behind
// (files, the Uninstall key, the Start-menu entry) and the copy of the program they start.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "child_process.h"
#include "file_text.h"

constexpr std::uint16_t kPort = 33589;
constexpr int kShutdownCommand = 32773;

// %LOCALAPPDATA%\Programs\CorvaneServer and the files in it.
std::string InstallFolder();
std::string InstalledFile(const char* name);
// %APPDATA%\Microsoft\Windows\Start Menu\Programs\CorvaneServer.lnk
std::string StartMenuShortcut();
// The file a shortcut starts ("" when it cannot be read).
std::string ShortcutTarget(const std::string& shortcut);
// The built installer, as a Windows path.
std::string InstallerPath();
// The product version "a.b.c.d" of the project.
std::string ProjectVersion();
// A file's version resource as "a.b.c.d" ("" when it has none).
std::string FileVersion(const std::string& path);

// Values of the per-user Uninstall key ("<none>" / 0 when missing).
bool UninstallKeyExists();
std::string UninstallText(const char* name);
DWORD UninstallNumber(const char* name);
bool FileExists(const std::string& path);
bool WriteFileText(const std::string& path, const std::string& text);

// The process id of the copy whose window titled "CorvaneServer" exists (0 when none).
DWORD RunningCopy();
// Waits until a copy's window exists and a phone can connect; its process id, or 0.
DWORD WaitUntilServing(int timeoutMs = 60000);
// Sends the running copy the shutdown command and waits for its process; true when none runs.
bool ShutDownRunningCopy();

// Runs the installer with /S and returns its exit code (STILL_ACTIVE: it did not end).
DWORD InstallSilently();
// Runs the uninstaller with /S and waits until its work is done: it returns at once, having
// started a copy of itself from the temporary folder, so the test waits for the Uninstall key
// and the uninstaller to go. False when they are still there after the time.
bool UninstallSilently(int timeoutMs = 60000);

// Every installer test starts and ends without an installation or a running copy.
class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Removes whatever an installation left: files, folder, Uninstall key, shortcut, Run value.
    static void RemoveInstallation();
};
