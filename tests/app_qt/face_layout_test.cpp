// The desktop face's words, places and shapes against the Windows program's: the texts come
// from its resources, the layout gives the pixel sizes its dialogs have on screen, the windows
// are cut as its windows are.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "app/qt/face_layout.h"
#include "app/qt/face_texts.h"
#include "app/qt/window_shape.h"

namespace {

// The quoted texts of one part of the resource script, with their escapes undone.
std::set<std::string> QuotedTexts(const std::string& script) {
    std::set<std::string> texts;
    for (size_t i = 0; i < script.size(); ++i) {
        if (script[i] != '"') continue;
        std::string text;
        for (++i; i < script.size() && script[i] != '"'; ++i) {
            if (script[i] != '\\' || i + 1 >= script.size()) {
                text += script[i];
                continue;
            }
            const char next = script[++i];
            if (next == 'r') continue;  // the resources end lines with \r\n, the face with \n
            text += next == 'n' ? '\n' : next;
        }
        texts.insert(text);
    }
    return texts;
}

struct ResourceTexts {
    std::set<std::string> english;
    std::set<std::string> chinese;
};

ResourceTexts ReadResources() {
    std::ifstream in(CORVANE_SOURCE_DIR "/resources/corvane.rc");
    std::stringstream all;
    all << in.rdbuf();
    const std::string script = all.str();
    const size_t english = script.find("LANGUAGE LANG_ENGLISH");
    const size_t chinese = script.find("LANGUAGE LANG_CHINESE");
    if (english == std::string::npos || chinese == std::string::npos) return {};
    return {QuotedTexts(script.substr(english, chinese - english)),
            QuotedTexts(script.substr(chinese))};
}

using Field = std::string FaceTexts::*;

struct NamedField {
    const char* name;
    Field field;
};

// The texts that the Windows program's resources hold in each language.
const NamedField kResourceFields[] = {
    {"config", &FaceTexts::config},
    {"about", &FaceTexts::about},
    {"shutdown", &FaceTexts::shutdown},
    {"connectStatus", &FaceTexts::connectStatus},
    {"computerName", &FaceTexts::computerName},
    {"password", &FaceTexts::password},
    {"encrypt", &FaceTexts::encrypt},
    {"ipAddress", &FaceTexts::ipAddress},
    {"detail", &FaceTexts::detail},
    {"firewallNote", &FaceTexts::firewallNote},
    {"connected", &FaceTexts::connected},
    {"disconnected", &FaceTexts::disconnected},
    {"multipleAddresses", &FaceTexts::multipleAddresses},
    {"settings", &FaceTexts::settings},
    {"horizontal", &FaceTexts::horizontal},
    {"vertical", &FaceTexts::vertical},
    {"lock", &FaceTexts::lock},
    {"mouseSensitivity", &FaceTexts::mouseSensitivity},
    {"aboutText", &FaceTexts::aboutText},
    {"version", &FaceTexts::version},
    {"wirelessColumn", &FaceTexts::wirelessColumn},
    {"adapterColumn", &FaceTexts::adapterColumn},
};

}  // namespace

TEST(FaceTexts, AreTheWindowsProgramsTextsInBothLanguages) {
    const ResourceTexts resources = ReadResources();
    ASSERT_FALSE(resources.english.empty());
    ASSERT_FALSE(resources.chinese.empty());
    const FaceTexts& english = TextsFor(FaceLanguage::kEnglish);
    const FaceTexts& chinese = TextsFor(FaceLanguage::kChinese);
    for (const NamedField& f : kResourceFields) {
        EXPECT_TRUE(resources.english.count(english.*f.field))
            << f.name << ": " << english.*f.field;
        EXPECT_TRUE(resources.chinese.count(chinese.*f.field))
            << f.name << ": " << chinese.*f.field;
    }
    // Only the Chinese main window template holds the link; the autostart box names the
    // computer, not Windows, in Chinese.
    EXPECT_TRUE(resources.chinese.count(english.link));
    EXPECT_EQ(chinese.link, english.link);
    EXPECT_TRUE(resources.english.count(english.autoStart));
    EXPECT_EQ(chinese.autoStart.find("Windows"), std::string::npos);
    EXPECT_EQ(english.trayTip, "VolaServer");
    EXPECT_EQ(english.title, "CorvaneServer");
    EXPECT_NE(chinese.quitQuestion, english.quitQuestion);
}

TEST(FaceTexts, ChineseOnlyForAChinesePrcLocale) {
    const auto chinese = FaceLanguage::kChinese;
    const auto english = FaceLanguage::kEnglish;
    EXPECT_EQ(LanguageForLocale(nullptr, nullptr, "zh_CN.UTF-8"), chinese);
    EXPECT_EQ(LanguageForLocale(nullptr, nullptr, "zh_CN"), chinese);
    EXPECT_EQ(LanguageForLocale("", "zh_CN.GB2312", "en_US.UTF-8"), chinese);
    EXPECT_EQ(LanguageForLocale(nullptr, nullptr, "zh_CN@pinyin"), chinese);
    // The first variable that is set decides, even against a Chinese one behind it.
    EXPECT_EQ(LanguageForLocale("C", nullptr, "zh_CN.UTF-8"), english);
    EXPECT_EQ(LanguageForLocale("en_US.UTF-8", "zh_CN.UTF-8", nullptr), english);
    // Other Chinese locales read English, as on Windows.
    EXPECT_EQ(LanguageForLocale(nullptr, nullptr, "zh_TW.UTF-8"), english);
    EXPECT_EQ(LanguageForLocale(nullptr, nullptr, "zh_SG.UTF-8"), english);
    EXPECT_EQ(LanguageForLocale(nullptr, nullptr, "zh_CNX"), english);
    EXPECT_EQ(LanguageForLocale(nullptr, nullptr, nullptr), english);
}

TEST(FaceLayout, DialogUnitsBecomeTheWindowsProgramsPixels) {
    // The sizes the Windows program's windows have on screen (96 dots per inch).
    const PixelRect main = ToPixels(kMain.window, kMainUnits);
    EXPECT_EQ(main.w, 560);
    EXPECT_EQ(main.h, 350);
    const PixelRect basic = ToPixels(kBasicEnglish.page, kPageUnits);
    EXPECT_EQ(basic.w, 380);
    EXPECT_EQ(basic.h, 257);
    const PixelRect advanced = ToPixels(kAdvancedChinese.page, kPageUnits);
    EXPECT_EQ(advanced.w, 381);
    const PixelRect details = ToPixels(kDetails.window, kPageUnits);
    EXPECT_EQ(details.w, 458);
    EXPECT_EQ(details.h, 258);
    // Each edge is rounded on its own: 2 and 86 dialog units become 4 and 151 pixels.
    const PixelRect button = ToPixels(kMain.pageButtons[0], kMainUnits);
    EXPECT_EQ(button.x, 4);
    EXPECT_EQ(button.w, 147);
    EXPECT_EQ(button.y, 105);
    EXPECT_EQ(button.h, 61);
    // The pages differ between the languages where the Windows templates do.
    EXPECT_NE(ToPixels(kBasicChinese.name, kPageUnits).x,
              ToPixels(kBasicEnglish.name, kPageUnits).x);
    EXPECT_EQ(ToPixels(kBasicChinese.password, kPageUnits).x,
              ToPixels(kBasicEnglish.password, kPageUnits).x);
}

TEST(FaceShape, CornersAreCutAndRoundedAsOnWindows) {
    // The details dialog's proportions: corners of h / 50 = 5 pixels.
    const QRegion region = RoundedRegion(QSize(458, 258), 50);
    for (QPoint p : {QPoint(0, 0), QPoint(457, 0), QPoint(0, 257), QPoint(457, 257)}) {
        EXPECT_FALSE(region.contains(p)) << p.x() << "," << p.y();
    }
    for (QPoint p : {QPoint(5, 5), QPoint(452, 5), QPoint(5, 252), QPoint(452, 252), QPoint(229, 0),
                     QPoint(0, 129), QPoint(229, 257), QPoint(457, 129)}) {
        EXPECT_TRUE(region.contains(p)) << p.x() << "," << p.y();
    }
    // The main window's: 350 / 250 is 1, so a pixel at each corner; the circles of 2 pixels put
    // the top ones back but not the bottom ones (they start at 350 * 248 / 250 = 347).
    const QRegion main = RoundedRegion(QSize(560, 350), 250);
    EXPECT_FALSE(main.contains(QPoint(0, 349)));
    EXPECT_FALSE(main.contains(QPoint(559, 349)));
    EXPECT_TRUE(main.contains(QPoint(1, 349)));
    EXPECT_TRUE(main.contains(QPoint(559, 348)));
    EXPECT_TRUE(main.contains(QPoint(0, 0)));
}
