// The program's user settings: section "CorvaneServer" of the file "CorvaneServer.ini" (beside the
// executable, or in the user's settings folder when installed), and whether the program starts
// with the user's session.
//
// Every value is narrow text (flags "yes" / "no", numbers in decimal). Nothing is cached: each
// read and each write goes to the file at once. Reads and writes may come from any thread; each
// one is whole, but a read followed by a write is not atomic.
#pragma once

#include <string>
#include <string_view>

// The settings keys. Callers apply their own defaults when a read comes back empty.
inline constexpr char kShowMainKey[] = "ShowMain";
inline constexpr char kPasswdKey[] = "Passwd";
inline constexpr char kPcNameKey[] = "PcName";
inline constexpr char kHidePasswdKey[] = "bHidePasswd";
inline constexpr char kVertKey[] = "iVert";  // the horizontal pointer factor, despite the name
inline constexpr char kHorzKey[] = "iHorz";  // the vertical pointer factor
inline constexpr char kAutoStartKey[] = "AutoStart";
inline constexpr char kOfficeInitErrorCountKey[] = "office_init_error_count";

inline constexpr char kSettingsSection[] = "CorvaneServer";
inline constexpr char kDefaultPassword[] = "735";

// The longest value ReadSetting returns; longer stored values come back cut to this length.
inline constexpr size_t kSettingValueLimit = 1023;

// The settings file "CorvaneServer.ini": beside the executable, or in the user's settings folder
// when the program is installed (see ProgramDataPlaces), or the test override.
std::string SettingsFilePath();

// The settings file for an executable path: the path cut at its last folder separator ("\" on
// Windows, "/" elsewhere), then the separator and "CorvaneServer.ini".
std::string SettingsPathFor(std::string_view executablePath);

// Points the store at another file; an empty path goes back to the one beside the executable.
// Call only while no other thread uses the store.
void SetSettingsPathForTesting(std::string path);

// The key's text, or empty when the file, the section or the key is missing or unreadable.
std::string ReadSetting(std::string_view key);

// Stores the text under the key, creating the file, the section or the key as needed, so that
// ReadSetting gives back exactly this text (its first line), blanks at its ends and quotes around
// it included. Always succeeds as far as the caller is concerned: a file that cannot be written
// loses the write.
void WriteSetting(std::string_view key, std::string_view text);

// A flag is set only when its text is exactly "yes" ("Yes", " yes" and "" are not).
bool SettingIsYes(std::string_view text);

// A number as the C library's atoi reads it: leading blanks, an optional sign, then the leading
// digits; no digits give 0. Values beyond the int range are clamped to it.
int SettingAsInt(std::string_view text);

// Makes the autostart entry match the request and returns the state in force: false whenever the
// entry could not be changed, in which case the user is told (see SetSettingsNoticeForTesting).
// Then records the state under "AutoStart" ("yes" / "no"). User-interface thread.
bool ApplyAutoStart(bool enabled);

// The two notices of ApplyAutoStart, in Chinese whatever the interface language: narrow text in
// the GBK code page on Windows, UTF-8 elsewhere.
extern const char kAutoStartOpenFailedText[];   // the place of the entry cannot be opened
extern const char kAutoStartWriteFailedText[];  // the entry cannot be written

// Receives the notice texts. The default shows a message box on Windows and logs elsewhere.
using SettingsNotice = void (*)(const char* text);

// Replaces the notice receiver (nullptr restores the default) and returns the previous one, so
// that tests record the texts instead of blocking in a message box.
SettingsNotice SetSettingsNoticeForTesting(SettingsNotice notice);
