#include <windows.h>

#include "platform/profile.h"
#include "support/ini_file.h"

std::string ReadProfileValue(const std::string& path, const char* section, const char* key) {
    char buffer[kProfileValueLimit + 1] = {};
    DWORD length = GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, path.c_str());
    return std::string(buffer, length <= kProfileValueLimit ? length : kProfileValueLimit);
}

void WriteProfileValue(const std::string& path, const char* section, const char* key,
                       const char* value) {
    // The system serialises profile access; a failed write is not reported to anyone. Its reads
    // trim and unquote, so a value that would come back changed is stored in quotes.
    WritePrivateProfileStringA(section, key, QuoteIniValue(value).c_str(), path.c_str());
}
