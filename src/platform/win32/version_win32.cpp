#include <windows.h>

#include <vector>

#include "platform/version.h"

bool ReadProductVersion(std::uint16_t parts[4]) {
    char path[MAX_PATH] = "CorvanteServer.exe";
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD handle = 0;
    std::vector<char> data(4096, 0);
    if (!GetFileVersionInfoA(path, handle, static_cast<DWORD>(data.size()), data.data())) {
        return false;
    }
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) ||
        info == nullptr || length < sizeof *info) {
        return false;
    }
    parts[0] = HIWORD(info->dwProductVersionMS);
    parts[1] = LOWORD(info->dwProductVersionMS);
    parts[2] = HIWORD(info->dwProductVersionLS);
    parts[3] = LOWORD(info->dwProductVersionLS);
    return true;
}
