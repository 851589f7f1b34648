#include <unistd.h>

#include "platform/process.h"

std::string ExecutablePath() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return std::string();
    return std::string(path, static_cast<size_t>(length));
}

std::string HostComputerName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return std::string();
    return name;
}
