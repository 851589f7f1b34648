#include "shell/start_failures.h"

#include <cstdio>

#include "shell/settings_store.h"

void SettingsStartFailureCounter::Count(std::int32_t hr) {
    int count = SettingAsInt(ReadSetting(kOfficeInitErrorCountKey));
    count = count > 0 ? count + 1 : 1;
    char text[64];
    std::snprintf(text, sizeof text, "%d-0x%x", count, static_cast<unsigned>(hr));
    WriteSetting(kOfficeInitErrorCountKey, text);
}

std::string ReadOfficeInitErrors() { return ReadSetting(kOfficeInitErrorCountKey); }
