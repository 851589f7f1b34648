#include "shell/settings_store.h"

#include <atomic>
#include <climits>
#include <mutex>

#include "platform/autostart.h"
#include "platform/data_places.h"
#include "platform/process.h"
#include "platform/profile.h"

static_assert(kSettingValueLimit == kProfileValueLimit);

#if defined(_WIN32)
// GBK bytes, shown as they are whatever the system's code page.
const char kAutoStartOpenFailedText[] = "\xb2\xbb\xc4\xdc\xb4\xf2\xbf\xaa\xd7\xa2\xb2\xe1\xb1\xed";
const char kAutoStartWriteFailedText[] =
    "\xb2\xbb\xc4\xdc\xcf\xf2\xd7\xa2\xb2\xe1\xb1\xed\xd0\xb4\xc8\xeb\xd0\xc5\xcf\xa2\xa1\xa3";
constexpr char kSeparator = '\\';
#else
const char kAutoStartOpenFailedText[] = "不能打开注册表";
const char kAutoStartWriteFailedText[] = "不能向注册表写入信息。";
constexpr char kSeparator = '/';
#endif

namespace {

std::mutex g_pathLock;
std::string g_pathOverride;  // guarded by g_pathLock

std::atomic<SettingsNotice> g_notice{&ShowAutoStartNotice};

}  // namespace

std::string SettingsPathFor(std::string_view executablePath) {
    size_t separator = executablePath.rfind(kSeparator);
    std::string path(executablePath.substr(0, separator));
    path += kSeparator;
    path += "CorvaneServer.ini";
    return path;
}

std::string SettingsFilePath() {
    {
        std::lock_guard<std::mutex> guard(g_pathLock);
        if (!g_pathOverride.empty()) return g_pathOverride;
    }
    // Built on every call, so a moved program finds the file in its new folder.
    DataPlaces places = ProgramDataPlaces();
    if (places.besideExecutable) return SettingsPathFor(ExecutablePath());
    return places.settingsFolder + kSeparator + "CorvaneServer.ini";
}

void SetSettingsPathForTesting(std::string path) {
    std::lock_guard<std::mutex> guard(g_pathLock);
    g_pathOverride = std::move(path);
}

std::string ReadSetting(std::string_view key) {
    return ReadProfileValue(SettingsFilePath(), kSettingsSection, std::string(key).c_str());
}

void WriteSetting(std::string_view key, std::string_view text) {
    WriteProfileValue(SettingsFilePath(), kSettingsSection, std::string(key).c_str(),
                      std::string(text).c_str());
}

bool SettingIsYes(std::string_view text) { return text == "yes"; }

int SettingAsInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;  // clamped below
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

SettingsNotice SetSettingsNoticeForTesting(SettingsNotice notice) {
    return g_notice.exchange(notice != nullptr ? notice : &ShowAutoStartNotice);
}

bool ApplyAutoStart(bool enabled) {
    bool state = enabled;
    switch (ChangeAutoStartEntry(enabled)) {
        case AutoStartChange::kDone:
            break;
        case AutoStartChange::kCannotOpen:
            state = false;
            g_notice.load()(kAutoStartOpenFailedText);
            break;
        case AutoStartChange::kCannotWrite:
            state = false;
            g_notice.load()(kAutoStartWriteFailedText);
            break;
    }
    WriteSetting(kAutoStartKey, state ? "yes" : "no");
    return state;
}
