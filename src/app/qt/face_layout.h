// Where everything sits in the desktop face: the Windows program's dialog templates, in dialog
// units, turned into pixels the way Windows does for their fonts. Plain data without the
// toolkit, so that tests which click the real program's controls use the very same numbers.
#pragma once

#include "app/qt/face_texts.h"

struct DialogRect {
    int x = 0, y = 0, w = 0, h = 0;  // dialog units
};

struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    constexpr int CenterX() const { return x + w / 2; }
    constexpr int CenterY() const { return y + h / 2; }
};

// Dialog base units: the average character width and the height of the dialog's font, in
// pixels at 96 dots per inch. The pages and the details dialog use an 8 point font (6 x 13),
// the main window a 9 point one (7 x 14).
struct BaseUnits {
    int x = 0, y = 0;
};
inline constexpr BaseUnits kPageUnits{6, 13};
inline constexpr BaseUnits kMainUnits{7, 14};

// Rounded as Windows rounds (values here are never negative).
constexpr int ScaleUnits(int value, int base, int divisor) {
    return (value * base + divisor / 2) / divisor;
}

// Each edge is converted on its own, as Windows maps a dialog rectangle.
constexpr PixelRect ToPixels(DialogRect r, BaseUnits u) {
    const int left = ScaleUnits(r.x, u.x, 4), top = ScaleUnits(r.y, u.y, 8);
    const int right = ScaleUnits(r.x + r.w, u.x, 4), bottom = ScaleUnits(r.y + r.h, u.y, 8);
    return {left, top, right - left, bottom - top};
}

// The main window (both languages).
struct MainLayout {
    DialogRect window{0, 0, 320, 200};
    DialogRect pageButtons[3] = {{2, 60, 84, 35}, {2, 101, 84, 35}, {2, 140, 84, 35}};
    DialogRect minimise{282, 4, 15, 12};
    DialogRect close{298, 4, 15, 12};
    DialogRect link{151, 177, 85, 16};
    DialogRect logo{13, 14, 47, 39};  // the picture keeps its own size
    // The pages sit here in the window, in pixels, with their own size.
    int pageX = 165, pageY = 50;
};
inline constexpr MainLayout kMain{};

// The connection page.
struct BasicLayout {
    DialogRect page{0, 0, 253, 158};
    DialogRect service{22, 32, 88, 12};
    DialogRect group{15, 16, 219, 126};
    DialogRect title{72, 2, 84, 12};
    DialogRect nameLabel{22, 55, 64, 8};
    DialogRect name{88, 52, 90, 12};
    DialogRect passwordLabel{23, 107, 46, 8};
    DialogRect password{72, 104, 90, 12};
    DialogRect encrypt{168, 105, 48, 12};
    DialogRect addressLabel{23, 81, 62, 8};
    DialogRect address{88, 78, 90, 13};
    DialogRect details{181, 79, 46, 13};
    DialogRect note{23, 126, 185, 12};
};
inline constexpr BasicLayout kBasicEnglish{};
inline constexpr BasicLayout kBasicChinese{
    .nameLabel = {22, 55, 48, 8},
    .name = {72, 52, 90, 12},
    .addressLabel = {23, 81, 46, 8},
    .address = {72, 78, 92, 13},
    .details = {167, 79, 46, 14},
    .note = {22, 127, 215, 12},
};

// The settings page.
struct AdvancedLayout {
    DialogRect page{0, 0, 254, 158};
    DialogRect horizontalLabel{23, 49, 36, 8};
    DialogRect verticalLabel{23, 66, 36, 8};
    DialogRect horizontal{56, 45, 124, 18};
    DialogRect vertical{56, 63, 124, 18};
    DialogRect group{8, 22, 234, 120};
    DialogRect title{48, 8, 120, 12};
    DialogRect lock{205, 54, 30, 13};
    DialogRect sensitivityLabel{25, 31, 90, 8};
    DialogRect autoStart{25, 90, 208, 12};
    DialogRect horizontalValue{185, 48, 18, 12};
    DialogRect verticalValue{186, 65, 18, 16};
};
inline constexpr AdvancedLayout kAdvancedEnglish{};
inline constexpr AdvancedLayout kAdvancedChinese{
    .horizontalLabel = {23, 49, 24, 8},
    .verticalLabel = {23, 66, 24, 8},
    .horizontal = {49, 45, 131, 18},
    .vertical = {49, 63, 131, 18},
    .autoStart = {25, 90, 108, 12},
};

// The about page (both languages).
struct AboutLayout {
    DialogRect page{0, 0, 254, 158};
    DialogRect text{15, 16, 232, 96};
    DialogRect version{133, 134, 104, 17};
};
inline constexpr AboutLayout kAbout{};

// The details dialog (both languages); its columns are given in pixels.
struct DetailsLayout {
    DialogRect window{0, 0, 305, 159};
    DialogRect close{274, 5, 18, 14};
    DialogRect list{14, 22, 275, 115};
    int columnWidths[3] = {140, 140, 240};
};
inline constexpr DetailsLayout kDetails{};

inline constexpr const BasicLayout& BasicLayoutFor(FaceLanguage language) {
    return language == FaceLanguage::kChinese ? kBasicChinese : kBasicEnglish;
}
inline constexpr const AdvancedLayout& AdvancedLayoutFor(FaceLanguage language) {
    return language == FaceLanguage::kChinese ? kAdvancedChinese : kAdvancedEnglish;
}
