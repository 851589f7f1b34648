#include "platform/posix/autostart_posix.h"

#include <unistd.h>

#include "platform/autostart.h"
#include "platform/posix/file_io.h"
#include "platform/posix/xdg_places.h"
#include "platform/process.h"
#include "support/log.h"

namespace {

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

}  // namespace

std::string AutoStartEntryPath() {
    const std::string folder = XdgConfigHome();
    if (folder.empty()) return std::string();
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
