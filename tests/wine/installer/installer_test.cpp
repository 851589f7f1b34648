// The Windows installer, silent as the updater and the tests run it: a per-user install that the
// installed program serves from, an install over a running copy, a file that stays in use, and
// the uninstaller.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "desktop.h"
#include "installer_fixture.h"
#include "phone_client.h"

#ifndef CORVANE_PROGRAM
#error "CORVANE_PROGRAM must name the built CorvaneServer.exe"
#endif
#ifndef CORVANE_SOURCE_DIR
#error "CORVANE_SOURCE_DIR must name the source tree"
#endif

namespace {

// The images of an .ico file by their size ("16x16" -> bytes).
std::vector<std::pair<std::string, std::string>> IconFileImages(const std::string& ico) {
    std::vector<std::pair<std::string, std::string>> images;
    if (ico.size() < 6) return images;
    const auto* bytes = reinterpret_cast<const unsigned char*>(ico.data());
    const unsigned count = bytes[4] | (bytes[5] << 8);
    for (unsigned i = 0; i < count && 6 + 16 * (i + 1) <= ico.size(); ++i) {
        const unsigned char* entry = bytes + 6 + 16 * i;
        DWORD size = 0, offset = 0;
        std::memcpy(&size, entry + 8, 4);
        std::memcpy(&offset, entry + 12, 4);
        const int width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
        images.emplace_back(std::to_string(width) + "x" + std::to_string(height),
                            ico.substr(offset, size));
    }
    return images;
}

// The images of the first icon group of a program file, the one Windows shows for it.
std::vector<std::pair<std::string, std::string>> ProgramIconImages(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> images;
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return images;
    LPCSTR group = nullptr;
    EnumResourceNamesA(
        module, reinterpret_cast<LPCSTR>(RT_GROUP_ICON),
        [](HMODULE, LPCSTR, LPSTR name, LONG_PTR found) -> BOOL {
            *reinterpret_cast<LPCSTR*>(found) = name;
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&group));
    HRSRC found =
        group ? FindResourceA(module, group, reinterpret_cast<LPCSTR>(RT_GROUP_ICON)) : nullptr;
    if (found) {
        const auto* dir =
            static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
        const unsigned count = dir[4] | (dir[5] << 8);
        for (unsigned i = 0; i < count; ++i) {
            const unsigned char* entry = dir + 6 + 14 * i;  // GRPICONDIRENTRY, packed
            const WORD id = static_cast<WORD>(entry[12] | (entry[13] << 8));
            HRSRC icon =
                FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_ICON));
            if (!icon) continue;
            const char* data = static_cast<const char*>(LockResource(LoadResource(module, icon)));
            const int width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
            images.emplace_back(std::to_string(width) + "x" + std::to_string(height),
                                std::string(data, SizeofResource(module, icon)));
        }
    }
    FreeLibrary(module);
    return images;
}

LONGLONG FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string Login(const std::string& password) {
    PhoneClient phone(kPort);
    if (!phone.Connected()) return "not connected";
    return phone.Login("installer,Installer Test", password);
}

}  // namespace

TEST(InstallerFile, CarriesTheProgramsVersionAndIcon) {
    EXPECT_EQ(FileVersion(InstallerPath()), ProjectVersion());
    const auto expected = IconFileImages(
        ReadFileText(WindowsPathFor(CORVANE_SOURCE_DIR "/resources/artwork/app.ico")));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ProgramIconImages(InstallerPath()), expected);
}

TEST_F(InstallerTest, SilentInstallRegistersTheProgramAndTheInstalledCopyServes) {
    ASSERT_EQ(InstallSilently(), 0u);
    const std::string program = InstalledFile("CorvaneServer.exe");
    const std::string uninstaller = InstalledFile("uninstall.exe");
    ASSERT_TRUE(FileExists(program)) << program;
    EXPECT_TRUE(FileExists(uninstaller));
    EXPECT_EQ(FileVersion(program), ProjectVersion());

    EXPECT_EQ(UninstallText("DisplayName"), "CorvaneServer");
    EXPECT_EQ(UninstallText("DisplayVersion"), ProjectVersion());
    EXPECT_NE(UninstallText("Publisher"), "<none>");
    EXPECT_EQ(UninstallText("DisplayIcon"), program + ",0");
    EXPECT_EQ(UninstallText("InstallLocation"), InstallFolder());
    EXPECT_EQ(UninstallText("UninstallString"), "\"" + uninstaller + "\"");
    EXPECT_EQ(UninstallText("QuietUninstallString"), "\"" + uninstaller + "\" /S");
    EXPECT_EQ(UninstallNumber("NoModify"), 1u);
    EXPECT_EQ(UninstallNumber("NoRepair"), 1u);
    // In KiB, the two programs rounded up.
    const LONGLONG bytes = FileSize(program) + FileSize(uninstaller);
    EXPECT_GE(UninstallNumber("EstimatedSize"), static_cast<DWORD>(bytes / 1024));
    EXPECT_LE(UninstallNumber("EstimatedSize"), static_cast<DWORD>(bytes / 1024 + 2));
    EXPECT_EQ(ShortcutTarget(StartMenuShortcut()), program);
    // Nothing was started: no copy ran before.
    EXPECT_EQ(RunningCopy(), 0u);
    EXPECT_EQ(RunValue(), "<none>");

    ChildProcess copy;
    ASSERT_TRUE(copy.Start("\"" + program + "\""));
    ASSERT_EQ(WaitUntilServing(), copy.Id());
    EXPECT_EQ(Login("735"), "Login:OK\n");
    // The settings file and the log beside the installed executable: the folder is writable.
    EXPECT_NE(ReadFileText(InstalledFile("CorvaneServer.ini")).find("Passwd=735"),
              std::string::npos);
    EXPECT_NE(ReadFileText(InstalledFile("CorvaneServer.log")).find("CorvaneServer Version:"),
              std::string::npos);
    EXPECT_EQ(RunValue(), program);
    EXPECT_TRUE(ShutDownRunningCopy());
    EXPECT_EQ(copy.WaitExit(0), 0u);
}

// How the updater delivers a version: the installer closes the running copy with its shutdown
// command, replaces the program, keeps the settings and starts the new copy.
TEST_F(InstallerTest, InstallingOverARunningCopyEndsItKeepsTheSettingsAndStartsTheNewOne) {
    ASSERT_EQ(InstallSilently(), 0u);
    const std::string program = InstalledFile("CorvaneServer.exe");
    const std::string ini = InstalledFile("CorvaneServer.ini");
    // Another build of the program (with its debugging information) stands for the old
    // version; the installer carries a smaller one.
    ASSERT_TRUE(CopyFileA(WindowsPathFor(CORVANE_PROGRAM).c_str(), program.c_str(), FALSE));
    const LONGLONG oldSize = FileSize(program);
    // Settings the program itself would write back unchanged at its shutdown.
    ASSERT_TRUE(WriteFileText(ini,
                              "[CorvaneServer]\r\nShowMain=no\r\nPasswd=4711\r\nPcName=Upgrade "
                              "Test\r\nAutoStart=no\r\niVert=30\r\niHorz=70\r\n"));

    ChildProcess old;
    ASSERT_TRUE(old.Start("\"" + program + "\""));
    ASSERT_EQ(WaitUntilServing(), old.Id());
    ASSERT_EQ(Login("4711"), "Login:OK\n");
    const std::string settings = ReadFileText(ini);

    ASSERT_EQ(InstallSilently(), 0u);
    // The old copy ended by its own shutdown (exit code 0), not by force.
    EXPECT_EQ(old.WaitExit(0), 0u);
    EXPECT_NE(FileSize(program), oldSize);
    EXPECT_EQ(FileVersion(program), ProjectVersion());

    // The installer started the new copy; it reads the same settings.
    const DWORD now = WaitUntilServing();
    ASSERT_NE(now, 0u);
    EXPECT_NE(now, old.Id());
    EXPECT_EQ(Login("4711"), "Login:OK\n");
    EXPECT_EQ(ReadFileText(ini), settings);
    EXPECT_TRUE(ShutDownRunningCopy());
    EXPECT_EQ(ReadFileText(ini), settings);
}

TEST_F(InstallerTest, AnExecutableThatStaysInUseFailsTheInstallInsteadOfBeingSkipped) {
    ASSERT_EQ(InstallSilently(), 0u);
    const std::string program = InstalledFile("CorvaneServer.exe");
    ASSERT_TRUE(CopyFileA(WindowsPathFor(CORVANE_PROGRAM).c_str(), program.c_str(), FALSE));
    const LONGLONG oldSize = FileSize(program);
    // Held by something other than a copy of the program (a scanner, a backup): nothing to close.
    HANDLE held = CreateFileA(program.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    // The installer retries for half a minute, then gives up: silent runs do not ask.
    const DWORD code = InstallSilently();
    CloseHandle(held);
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, STILL_ACTIVE);
    EXPECT_EQ(FileSize(program), oldSize);
}

TEST_F(InstallerTest, SilentUninstallRemovesEverythingButTheSettings) {
    ASSERT_EQ(InstallSilently(), 0u);
    const std::string program = InstalledFile("CorvaneServer.exe");
    const std::string ini = InstalledFile("CorvaneServer.ini");
    ChildProcess copy;
    ASSERT_TRUE(copy.Start("\"" + program + "\""));
    ASSERT_EQ(WaitUntilServing(), copy.Id());
    ASSERT_EQ(RunValue(), program);
    ASSERT_TRUE(FileExists(InstalledFile("CorvaneServer.log")));

    // The uninstaller closes the running copy first.
    ASSERT_TRUE(UninstallSilently());
    EXPECT_EQ(copy.WaitExit(30000), 0u);
    EXPECT_FALSE(FileExists(program));
    EXPECT_FALSE(FileExists(InstalledFile("uninstall.exe")));
    EXPECT_FALSE(FileExists(InstalledFile("CorvaneServer.log")));
    EXPECT_FALSE(FileExists(StartMenuShortcut()));
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_EQ(RunValue(), "<none>");
    // Only the settings file is left, as the program wrote it.
    EXPECT_NE(ReadFileText(ini).find("Passwd=735"), std::string::npos);
    EXPECT_NE(ReadFileText(ini).find("ShowMain=no"), std::string::npos);
}
