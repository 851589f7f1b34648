#include "shell/start_failures.h"

#include <climits>
#include <cstdio>

#include "shell/settings_store.h"

void SettingsStartFailureCounter::Count(std::int32_t hr) {
    int count = SettingAsInt(ReadSetting(kOfficeInitErrorCountKey));
    // The count stops at the largest int rather than wrapping round to a negative one.
    count = count <= 0 ? 1 : count < INT_MAX ? count + 1 : INT_MAX;
    char text[64];
    std::snprintf(text, sizeof text, "%d-0x%x", count, static_cast<unsigned>(hr));
    WriteSetting(kOfficeInitErrorCountKey, text);
}

std::string ReadOfficeInitErrors() { return ReadSetting(kOfficeInitErrorCountKey); }
