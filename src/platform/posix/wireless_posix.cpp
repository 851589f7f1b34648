// clang-format off
#include <net/if.h>  // before linux/wireless.h, which then leaves out its own copy of these types
#include <linux/wireless.h>
// clang-format on
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <cstring>

#include "platform/posix/wireless_posix.h"
#include "support/text.h"

bool QueryNetworkName(int socket, const std::string& interfaceName, std::string* name) {
    name->clear();
    if (interfaceName.size() >= IFNAMSIZ) return false;
    char essid[IW_ESSID_MAX_SIZE + 1] = {};
    iwreq request{};
    std::memcpy(request.ifr_name, interfaceName.c_str(), interfaceName.size());
    request.u.essid.pointer = essid;
    request.u.essid.length = sizeof essid;
    if (ioctl(socket, SIOCGIWESSID, &request) != 0) return false;
    // A disconnected interface answers with no name (and flags 0).
    size_t length = std::min<size_t>(request.u.essid.length, IW_ESSID_MAX_SIZE);
    while (length > 0 && essid[length - 1] == '\0') --length;
    if (request.u.essid.flags == 0 || length == 0) return false;
    // A network name is any 32 bytes; the program's text is UTF-8, so bytes that are not become
    // U+FFFD.
    *name = EncodeUtf8(DecodeUtf8(std::string_view(essid, length)));
    return true;
}

int ReadWirelessInterfacesUnder(const std::string& classNetDir,
                                std::vector<WirelessInterface>* interfaces) {
    interfaces->clear();
    DIR* dir = opendir(classNetDir.c_str());
    if (dir == nullptr) return -1;
    struct Found {
        unsigned index;
        std::string name;
    };
    std::vector<Found> found;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        std::string wireless = classNetDir + "/" + e->d_name + "/wireless";
        struct stat st {};
        if (stat(wireless.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            found.push_back({if_nametoindex(e->d_name), e->d_name});
        }
    }
    closedir(dir);
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    // The adapter list is in index order; so are these (by name where the index is unknown).
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.index != b.index ? a.index < b.index : a.name < b.name;
    });
    for (const Found& f : found) {
        WirelessInterface wireless;
        wireless.description = f.name;
        wireless.connected = QueryNetworkName(s, f.name, &wireless.networkName);
        interfaces->push_back(std::move(wireless));
    }
    close(s);
    return 0;
}

int ReadWirelessInterfaces(std::vector<WirelessInterface>* interfaces) {
    return ReadWirelessInterfacesUnder("/sys/class/net", interfaces);
}
