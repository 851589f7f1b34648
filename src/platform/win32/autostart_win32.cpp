#include <windows.h>

#include <string>

#include "platform/autostart.h"
#include "platform/process.h"

AutoStartChange ChangeAutoStartEntry(bool enabled) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "software\\microsoft\\windows\\currentversion\\Run", 0,
                      KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return AutoStartChange::kCannotOpen;
    }
    AutoStartChange result = AutoStartChange::kDone;
    if (enabled) {
        // The plain path, unquoted and without arguments; the stored size counts the final zero.
        std::string path = ExecutablePath();
        if (path.empty() || RegSetValueExA(key, "VolaServer", 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(path.c_str()),
                                           static_cast<DWORD>(path.size() + 1)) != ERROR_SUCCESS) {
            result = AutoStartChange::kCannotWrite;
        }
    } else {
        RegDeleteValueA(key, "VolaServer");  // already missing is fine
    }
    RegCloseKey(key);
    return result;
}

void ShowAutoStartNotice(const char* text) { MessageBoxA(nullptr, text, "CorvaneServer", MB_OK); }
