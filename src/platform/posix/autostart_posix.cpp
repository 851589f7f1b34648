#include "platform/posix/autostart_posix.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/autostart.h"
#include "platform/posix/file_io.h"
#include "platform/process.h"
#include "support/log.h"

namespace {

std::string HomeFolder() {
    const char* home = getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return std::string();
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

}  // namespace

std::string AutoStartEntryPath() {
    // Relative values of XDG_CONFIG_HOME are invalid and ignored, as the XDG base directory rules
    // say.
    const char* config = getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config != nullptr && config[0] == '/') {
        folder = config;
    } else {
        std::string home = HomeFolder();
        if (home.empty()) return std::string();
        folder = home + "/.config";
    }
    return folder + "/autostart/VolaServer.desktop";
}

std::string DesktopExecValue(const std::string& executablePath) {
    // Two layers. As an argument, the path is put in double quotes with ", `, $ and \ escaped by a
    // backslash, and % doubled because Exec expands field codes. Exec is also a string value,
    // whose own escapes are applied on top: every backslash doubles again, and control characters
    // that would break the line are written as \n, \t, \r.
    std::string argument = "\"";
    for (char c : executablePath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') argument += '\\';
        if (c == '%') argument += '%';
        argument += c;
    }
    argument += '"';
    std::string value;
    for (char c : argument) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
                break;
        }
    }
    return value;
}

std::string DesktopEntryText(const std::string& executablePath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=CorvaneServer\n"
           "Exec=" +
           DesktopExecValue(executablePath) +
           "\n"
           "X-GNOME-Autostart-enabled=true\n";
}

AutoStartChange ChangeAutoStartEntry(bool enabled) {
    const std::string entry = AutoStartEntryPath();
    if (entry.empty()) return AutoStartChange::kCannotOpen;
    if (!enabled) {
        unlink(entry.c_str());  // already missing is fine
        return AutoStartChange::kDone;
    }
    const std::string executable = ExecutablePath();
    if (executable.empty() || !MakeFolders(FolderOf(entry), 0700) ||
        !ReplaceFileAtomically(entry, DesktopEntryText(executable))) {
        return AutoStartChange::kCannotWrite;
    }
    return AutoStartChange::kDone;
}

void ShowAutoStartNotice(const char* text) { LogPrintf("%s\n", text); }
