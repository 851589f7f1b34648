#include "installer_fixture.h"

#include <objbase.h>
#include <shlobj.h>

#include <fstream>

#include "desktop.h"
#include "phone_client.h"
#include "platform/socket.h"

#ifndef CORVANE_INSTALLER
#error "CORVANE_INSTALLER must name the built installer"
#endif

namespace {

constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CorvaneServer";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

}  // namespace

std::string InstallFolder() {
    return KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\CorvaneServer";
}

std::string InstalledFile(const char* name) { return InstallFolder() + "\\" + name; }

std::string StartMenuShortcut() { return KnownFolder(CSIDL_PROGRAMS) + "\\CorvaneServer.lnk"; }

std::string ShortcutTarget(const std::string& shortcut) {
    CoInitialize(nullptr);
    std::string target;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            std::wstring wide(shortcut.begin(), shortcut.end());
            char path[MAX_PATH] = "";
            if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0))) {
                target = path;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return target;
}

std::string InstallerPath() { return WindowsPathFor(CORVANE_INSTALLER); }

std::string ProjectVersion() {
    return std::to_string(CORVANE_VERSION_MAJOR) + "." + std::to_string(CORVANE_VERSION_MINOR) +
           "." + std::to_string(CORVANE_VERSION_PATCH) + "." +
           std::to_string(CORVANE_VERSION_TWEAK);
}

std::string FileVersion(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info) {
        return std::string();
    }
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionLS));
}

bool UninstallKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::string UninstallText(const char* name) {
    char value[2048] = "";
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return "<none>";
    }
    return value;
}

DWORD UninstallNumber(const char* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, kUninstallKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
        return 0;
    }
    return value;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFileText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

DWORD RunningCopy() {
    HWND window = FindWindowA(nullptr, "CorvaneServer");
    DWORD id = 0;
    if (window) GetWindowThreadProcessId(window, &id);
    return id;
}

DWORD WaitUntilServing(int timeoutMs) {
    DWORD id = 0;
    PumpUntil(
        [&] {
            id = RunningCopy();
            return id != 0 && PhoneClient(kPort).Connected();
        },
        timeoutMs);
    return id != 0 && PhoneClient(kPort).Connected() ? id : 0;
}

bool ShutDownRunningCopy() {
    HWND window = FindWindowA(nullptr, "CorvaneServer");
    if (!window) return true;
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    ChildProcess copy;
    if (!copy.Adopt(id)) return false;
    PostMessageA(window, WM_COMMAND, kShutdownCommand, 0);
    return copy.WaitExit(30000) != STILL_ACTIVE;
}

DWORD InstallSilently() {
    ChildProcess installer;
    if (!installer.Start("\"" + InstallerPath() + "\" /S")) return STILL_ACTIVE;
    return installer.WaitExit(120000);
}

bool UninstallSilently(int timeoutMs) {
    const std::string uninstaller = InstalledFile("uninstall.exe");
    ChildProcess first;
    if (!first.Start("\"" + uninstaller + "\" /S")) return false;
    if (first.WaitExit(timeoutMs) == STILL_ACTIVE) return false;
    return PumpUntil([&] { return !UninstallKeyExists() && !FileExists(uninstaller); }, timeoutMs);
}

void InstallerTest::SetUp() {
    ASSERT_EQ(SocketLibraryStartup(), 0);
    if (PhoneClient(kPort).Connected()) {
        GTEST_SKIP() << "another program already listens on 127.0.0.1:" << kPort;
    }
    ASSERT_EQ(RunningCopy(), 0u) << "a copy of CorvaneServer is running";
    ASSERT_TRUE(FileExists(InstallerPath())) << InstallerPath();
    RemoveInstallation();
}

void InstallerTest::TearDown() {
    EXPECT_TRUE(ShutDownRunningCopy());
    RemoveInstallation();
    SocketLibraryCleanup();
}

void InstallerTest::RemoveInstallation() {
    for (const char* name :
         {"CorvaneServer.exe", "CorvaneServer.ini", "CorvaneServer.log", "uninstall.exe"}) {
        DeleteFileA(InstalledFile(name).c_str());
    }
    RemoveDirectoryA(InstallFolder().c_str());
    DeleteFileA(StartMenuShortcut().c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, "VolaServer");
}
