#include <windows.h>

#include "platform/process.h"

std::string ExecutablePath() {
    char path[512] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return std::string();
    return std::string(path, length);
}

std::string HostComputerName() {
    char name[260] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return std::string();
    return std::string(name, size);
}
