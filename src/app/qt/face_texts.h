// Every text of the desktop face, in English and in Chinese: the same words as the Windows
// program's resources, as UTF-8. Plain data, so that it can be checked without a display.
#pragma once

#include <string>

enum class FaceLanguage { kEnglish, kChinese };

// Chinese only for a Chinese (PRC) locale, as the Windows program chooses: the first non-empty
// of LC_ALL, LC_MESSAGES and LANG names the locale (null counts as empty), and it is Chinese
// when it is "zh_CN", optionally followed by ".codeset" or "@modifier". Anything else, including
// other Chinese locales and none at all, gives English.
FaceLanguage LanguageForLocale(const char* lcAll, const char* lcMessages, const char* lang);
// The same for this process's environment.
FaceLanguage LanguageFromEnvironment();

struct FaceTexts {
    // Main window and tray.
    std::string title;         // the window title, by which the window is found
    std::string trayTip;       // the tray icon's tool tip
    std::string config;        // tray menu: show the window
    std::string about;         // tray menu: show the about page
    std::string shutdown;      // tray menu: end the program
    std::string link;          // the maker's web address, shown and opened
    std::string quitQuestion;  // closing the window where there is no tray

    // Connection page.
    std::string connectStatus;
    std::string computerName;
    std::string password;
    std::string encrypt;
    std::string ipAddress;
    std::string detail;
    std::string firewallNote;
    std::string connected;
    std::string disconnected;
    std::string multipleAddresses;

    // Settings page.
    std::string settings;
    std::string horizontal;
    std::string vertical;
    std::string lock;
    std::string mouseSensitivity;
    std::string autoStart;

    // About page; lines end with "\n".
    std::string aboutText;
    std::string version;

    // Details dialog columns.
    std::string ipColumn;
    std::string wirelessColumn;
    std::string adapterColumn;
};

const FaceTexts& TextsFor(FaceLanguage language);
