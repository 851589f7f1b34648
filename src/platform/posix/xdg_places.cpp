#include "platform/posix/xdg_places.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/posix/file_io.h"
#include "platform/process.h"

namespace {

constexpr char kProgramFolder[] = "/CorvaneServer";

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string XdgHome(const char* variable, const char* fallbackBelowHome) {
    const char* value = getenv(variable);
    if (value != nullptr && value[0] == '/') return value;
    std::string home = HomeFolder();
    if (home.empty()) return std::string();
    return home + fallbackBelowHome;
}

}  // namespace

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

std::string XdgConfigHome() { return XdgHome("XDG_CONFIG_HOME", "/.config"); }

std::string XdgStateHome() { return XdgHome("XDG_STATE_HOME", "/.local/state"); }

DataPlaces DataPlacesFor(const std::string& executablePath, bool folderWritable,
                         const std::string& configHome, const std::string& stateHome) {
    DataPlaces places;
    const std::string folder = FolderOf(executablePath);
    const bool inBin = folder.size() >= 4 && folder.compare(folder.size() - 4, 4, "/bin") == 0;
    if (!inBin && folderWritable) return places;
    if (configHome.empty() || stateHome.empty()) return places;
    places.besideExecutable = false;
    places.settingsFolder = configHome + kProgramFolder;
    places.logFolder = stateHome + kProgramFolder;
    return places;
}

DataPlaces ProgramDataPlaces() {
    const std::string executable = ExecutablePath();
    if (executable.empty()) return DataPlaces{};
    const bool writable = access(FolderOf(executable).c_str(), W_OK) == 0;
    DataPlaces places = DataPlacesFor(executable, writable, XdgConfigHome(), XdgStateHome());
    if (!places.besideExecutable) {
        // A folder that cannot be made shows up as a failed write, as a read-only file would.
        MakeFolders(places.settingsFolder, 0700);
        MakeFolders(places.logFolder, 0700);
    }
    return places;
}
