// The program's resources (resources/corvane.rc) as the running program sees them: every dialog
// template read back and created in each of its languages, the tray menu, the string tables and
// the pictures. The test program is linked with the same resources as CorvaneServer.exe.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "../../resources/resource.h"
#include "resource_lookup.h"

namespace {

using namespace resource_lookup;

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

const char* LanguageName(LANGID language) {
    switch (language) {
        case kEnglish:
            return "English";
        case kChinese:
            return "Chinese";
        case kNeutral:
            return "neutral";
        default:
            return "other";
    }
}

// What a control of a template must be. A zero size means the layout leaves it to us; mask
// selects the style bits that must equal `style`.
struct Control {
    int id;
    const wchar_t* windowClass;
    short x, y, cx, cy;
    const wchar_t* text;
    DWORD style;
    DWORD mask;
};

constexpr DWORD kButtonType = BS_TYPEMASK;
constexpr DWORD kStaticType = SS_TYPEMASK;

Control OwnerDrawn(int id, short x, short y, short cx, short cy, const wchar_t* text = L"") {
    return {id, L"Button", x, y, cx, cy, text, BS_OWNERDRAW, kButtonType};
}
Control CheckBox(int id, short x, short y, short cx, short cy, const wchar_t* text) {
    return {id, L"Button", x, y, cx, cy, text, BS_AUTOCHECKBOX, kButtonType};
}
Control Group(short x, short y, short cx, short cy) {
    return {-1, L"Button", x, y, cx, cy, L"", BS_GROUPBOX, kButtonType};
}
Control Label(int id, short x, short y, short cx, short cy, const wchar_t* text, DWORD extra = 0) {
    return {id, L"Static", x, y, cx, cy, text, SS_LEFT | extra, kStaticType | extra};
}
Control Centred(int id, short x, short y, short cx, short cy, const wchar_t* text) {
    return {id, L"Static", x, y, cx, cy, text, SS_CENTER, kStaticType};
}
Control Edit(int id, short x, short y, short cx, short cy, DWORD style) {
    return {id, L"Edit", x, y, cx, cy, L"", style, style};
}
Control Slider(int id, short x, short y, short cx, short cy) {
    return {id, L"msctls_trackbar32", x, y, cx, cy, L"", TBS_NOTICKS, TBS_NOTICKS | TBS_VERT};
}

struct Dialog {
    int id;
    LANGID language;
    DWORD style;  // compared under kDialogStyleMask
    short cx, cy;
    const wchar_t* caption;
    int pointSize;
    const wchar_t* face;
    std::vector<Control> controls;
};

constexpr DWORD kDialogStyleMask = WS_POPUP | WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                                   WS_THICKFRAME | DS_MODALFRAME | DS_SETFONT;

std::vector<Control> BasicPage(bool chinese) {
    if (!chinese) {
        return {OwnerDrawn(IDC_SERVICE_BUTTON, 22, 32, 88, 12, L"Disconnected"),
                Group(15, 16, 219, 126),
                Centred(-1, 72, 2, 84, 12, L"Connect status"),
                Label(-1, 22, 55, 0, 0, L"Computer Name"),
                Edit(IDC_COMPUTER_NAME, 88, 52, 90, 12, ES_AUTOHSCROLL),
                Label(-1, 23, 107, 0, 0, L"Password"),
                Edit(IDC_PASSWORD, 72, 104, 90, 12, ES_PASSWORD | ES_AUTOHSCROLL),
                CheckBox(IDC_HIDE_PASSWORD, 168, 105, 48, 12, L" Encrypt"),
                Label(-1, 23, 81, 0, 0, L"IP Address"),
                Label(IDC_ADDRESS_TEXT, 88, 78, 90, 13, L"", SS_CENTERIMAGE),
                OwnerDrawn(IDC_ADDRESS_DETAILS, 181, 79, 46, 13, L"Detail..."),
                Label(IDC_FIREWALL_NOTE, 23, 126, 185, 12,
                      L"If the firewall is on, please close it temporarily!")};
    }
    return {OwnerDrawn(IDC_SERVICE_BUTTON, 22, 32, 88, 12, L"网络连接 关闭状态"),
            Group(15, 16, 219, 126),
            Centred(-1, 72, 2, 84, 12, L"主要连接配置"),
            Label(-1, 22, 55, 0, 0, L"本机名字"),
            Edit(IDC_COMPUTER_NAME, 72, 52, 90, 12, ES_AUTOHSCROLL),
            Label(-1, 23, 107, 0, 0, L"连接密码"),
            Edit(IDC_PASSWORD, 72, 104, 90, 12, ES_PASSWORD | ES_AUTOHSCROLL),
            CheckBox(IDC_HIDE_PASSWORD, 168, 105, 48, 12, L" 隐藏密码"),
            Label(-1, 23, 81, 0, 0, L"本机地址"),
            Label(IDC_ADDRESS_TEXT, 72, 78, 92, 13, L"", SS_CENTERIMAGE),
            OwnerDrawn(IDC_ADDRESS_DETAILS, 167, 79, 46, 14, L"详情..."),
            Label(IDC_FIREWALL_NOTE, 22, 127, 215, 12,
                  L"如果电脑开启了防火墙，请暂时关闭，以免影响手机连接电脑")};
}

std::vector<Control> AdvancedPage(bool chinese) {
    short sliderX = chinese ? 49 : 56, sliderW = chinese ? 131 : 124;
    return {Slider(IDC_HORIZONTAL_SLIDER, sliderX, 45, sliderW, 18),
            Slider(IDC_VERTICAL_SLIDER, sliderX, 63, sliderW, 18),
            Group(8, 22, 234, 120),
            Centred(-1, 48, 8, 120, 12, chinese ? L"高级选项配置" : L"Settings"),
            Label(-1, 23, 49, 0, 0, chinese ? L"水平" : L"Horizontal"),
            Label(-1, 23, 66, 0, 0, chinese ? L"垂直" : L"Vertical"),
            CheckBox(IDC_LOCK, 205, 54, 30, 13, chinese ? L"同时" : L"Lock"),
            Label(-1, 25, 31, 0, 0, chinese ? L"鼠标灵敏度:" : L"Mouse Sensitivity:"),
            chinese ? CheckBox(IDC_AUTOSTART, 25, 90, 108, 12, L"Windows启动时候运行")
                    : CheckBox(IDC_AUTOSTART, 25, 90, 208, 12,
                               L"Running automatically when the PC starts"),
            Label(IDC_HORIZONTAL_VALUE, 185, 48, 18, 12, L""),
            Label(IDC_VERTICAL_VALUE, 186, 65, 18, 16, L"")};
}

std::vector<Dialog> AllDialogs() {
    const std::vector<Control> mainWindow = {
        OwnerDrawn(IDC_PAGE_BASIC, 2, 60, 84, 35),
        OwnerDrawn(IDC_PAGE_ADVANCED, 2, 101, 84, 35),
        OwnerDrawn(IDC_PAGE_ABOUT, 2, 140, 84, 35),
        OwnerDrawn(IDOK, 282, 4, 15, 12),
        OwnerDrawn(IDCANCEL, 298, 4, 15, 12),
        OwnerDrawn(IDC_LINK, 151, 177, 85, 16, L"https://example.com/"),
        {-1, L"Static", 13, 14, 47, 39, L"#143", SS_BITMAP, kStaticType}};
    const std::vector<Control> update = {
        {IDC_UPDATE_PROGRESS, L"msctls_progress32", 2, 3, 296, 20, L"", PBS_SMOOTH, PBS_SMOOTH},
        Label(IDC_UPDATE_TEXT, 2, 27, 296, 16, L"")};
    const std::vector<Control> moreAddresses = {
        OwnerDrawn(IDCANCEL, 274, 5, 18, 14),
        {IDC_ADDRESS_LIST, L"SysListView32", 14, 22, 275, 115, L"",
         LVS_REPORT | LVS_ALIGNLEFT | LVS_NOSORTHEADER,
         LVS_TYPEMASK | LVS_ALIGNMASK | LVS_NOSORTHEADER}};
    const std::vector<Control> aboutPage = {
        Edit(IDC_ABOUT_TEXT, 15, 16, 232, 96, ES_MULTILINE | ES_READONLY),
        Label(IDC_VERSION_LINE, 133, 134, 104, 17, L"")};
    const std::vector<Control> popup = {OwnerDrawn(IDC_POPUP_CLOSE, 128, 3, 11, 10),
                                        Centred(IDC_POPUP_TEXT, 8, 9, 118, 14, L""),
                                        Label(-1, 42, 26, 68, 10, L"已经连上来了")};
    const DWORD popupStyle = DS_SETFONT | WS_POPUP;
    const DWORD pageStyle = DS_SETFONT | WS_CHILD;
    const wchar_t* shell = L"MS Shell Dlg";

    std::vector<Dialog> dialogs;
    dialogs.push_back(
        {IDD_MAIN, kChinese, popupStyle | WS_VISIBLE, 320, 200, L"", 9, shell, mainWindow});
    for (bool chinese : {false, true}) {
        LANGID language = chinese ? kChinese : kEnglish;
        dialogs.push_back({IDD_BASIC_PAGE, language, pageStyle | WS_VISIBLE, 253, 158, L"", 8,
                           shell, BasicPage(chinese)});
        dialogs.push_back({IDD_ADVANCED_PAGE, language, pageStyle, 254, 158, L"", 8, shell,
                           AdvancedPage(chinese)});
        dialogs.push_back({IDD_UPDATE, language, popupStyle | WS_CAPTION | WS_SYSMENU, 301, 47,
                           L"Slidora Update", 9, chinese ? L"黑体" : L"SimHei", update});
        dialogs.push_back(
            {IDD_MORE_ADDRESSES, language, popupStyle, 305, 159, L"", 8, shell, moreAddresses});
    }
    dialogs.push_back({IDD_ABOUT_PAGE, kChinese, pageStyle, 254, 158, L"", 8, shell, aboutPage});
    dialogs.push_back(
        {IDD_CONNECTION_POPUP, kChinese, popupStyle | WS_VISIBLE, 143, 41, L"", 8, shell, popup});
    return dialogs;
}

std::string Name(const Dialog& d) {
    return "dialog " + std::to_string(d.id) + " (" + LanguageName(d.language) + ")";
}

const TemplateItem* FindItem(const Template& t, const Control& c) {
    for (const auto& item : t.items) {
        if (c.id != -1 ? item.id == c.id
                       : item.id == -1 && Lower(item.windowClass) == Lower(c.windowClass) &&
                             item.text == c.text) {
            return &item;
        }
    }
    return nullptr;
}

INT_PTR CALLBACK Quiet(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                  ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&icc);
    }
    void SetUp() override {
        host_ = CreateWindowExW(0, L"Static", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override { DestroyWindow(host_); }
    HWND host_ = nullptr;
};

TEST_F(Resources, DialogTemplatesHoldTheDescribedControls) {
    for (const Dialog& d : AllDialogs()) {
        SCOPED_TRACE(Name(d));
        Template t;
        ASSERT_TRUE(ParseTemplate(Find(kDialog, d.id, d.language), &t));
        EXPECT_EQ(t.style & kDialogStyleMask, d.style);
        EXPECT_EQ(t.cx, d.cx);
        EXPECT_EQ(t.cy, d.cy);
        EXPECT_EQ(t.caption, d.caption);
        EXPECT_EQ(t.pointSize, d.pointSize);
        EXPECT_EQ(t.face, d.face);
        EXPECT_EQ(t.items.size(), d.controls.size());
        for (const Control& c : d.controls) {
            SCOPED_TRACE(c.id == -1 ? "control without id" : "control " + std::to_string(c.id));
            const TemplateItem* item = FindItem(t, c);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(Lower(item->windowClass), Lower(c.windowClass));
            EXPECT_EQ(item->x, c.x);
            EXPECT_EQ(item->y, c.y);
            if (c.cx != 0) {
                EXPECT_EQ(item->cx, c.cx);
                EXPECT_EQ(item->cy, c.cy);
            }
            EXPECT_EQ(item->text, c.text);
            EXPECT_EQ(item->style & c.mask, c.style);
            EXPECT_TRUE(item->style & WS_VISIBLE);
        }
    }
}

TEST_F(Resources, DialogsExistInTheirLanguagesOnly) {
    struct Expected {
        int id;
        std::vector<LANGID> languages;
    };
    for (const Expected& e : std::vector<Expected>{{IDD_MAIN, {kChinese}},
                                                   {IDD_BASIC_PAGE, {kEnglish, kChinese}},
                                                   {IDD_ADVANCED_PAGE, {kEnglish, kChinese}},
                                                   {IDD_ABOUT_PAGE, {kChinese}},
                                                   {IDD_CONNECTION_POPUP, {kChinese}},
                                                   {IDD_UPDATE, {kEnglish, kChinese}},
                                                   {IDD_MORE_ADDRESSES, {kEnglish, kChinese}}}) {
        SCOPED_TRACE("dialog " + std::to_string(e.id));
        auto found = Languages(kDialog, e.id);
        std::sort(found.begin(), found.end());
        auto expected = e.languages;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found, expected);
    }
}

TEST_F(Resources, EveryDialogCreatesWithItsControls) {
    for (const Dialog& d : AllDialogs()) {
        SCOPED_TRACE(Name(d));
        HWND dialog = CreateDialogIn(d.id, d.language, host_, Quiet, 0, true);
        ASSERT_NE(dialog, nullptr) << "error " << GetLastError();
        for (const Control& c : d.controls) {
            if (c.id == -1) continue;
            SCOPED_TRACE("control " + std::to_string(c.id));
            HWND control = GetDlgItem(dialog, c.id);
            ASSERT_NE(control, nullptr);
            wchar_t cls[64] = {};
            GetClassNameW(control, cls, 64);
            EXPECT_EQ(Lower(cls), Lower(c.windowClass));
            // Placed where the template says, in this dialog's own units (the dialog manager
            // converts position and size separately).
            RECT expected{c.x, c.y, c.cx, c.cy};
            MapDialogRect(dialog, &expected);
            RECT actual;
            GetWindowRect(control, &actual);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
            EXPECT_EQ(actual.left, expected.left);
            EXPECT_EQ(actual.top, expected.top);
            EXPECT_EQ(actual.right - actual.left, expected.right);
            EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
        }
        DestroyWindow(dialog);
    }
}

// A text that the control cannot show whole, measured with the control's own font.
std::vector<std::wstring> ClippedTexts(HWND dialog) {
    std::vector<std::wstring> clipped;
    HDC dc = GetDC(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[64] = {}, text[256] = {};
        GetClassNameW(child, cls, 64);
        GetWindowTextW(child, text, 256);
        LONG style = GetWindowLongW(child, GWL_STYLE);
        bool label = Lower(cls) == L"static" && (style & SS_TYPEMASK) <= SS_RIGHT;
        bool check = Lower(cls) == L"button" && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        if (!text[0] || !(label || check)) continue;
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        SIZE size;
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        SelectObject(dc, old);
        RECT r;
        GetClientRect(child, &r);
        int room = r.right - (check ? GetSystemMetrics(SM_CXMENUCHECK) + 2 : 0);
        if (size.cx > room) clipped.push_back(text);
    }
    ReleaseDC(dialog, dc);
    return clipped;
}

TEST_F(Resources, LabelsFitTheirControls) {
    for (const Dialog& d : AllDialogs()) {
        SCOPED_TRACE(Name(d));
        HWND dialog = CreateDialogIn(d.id, d.language, host_, Quiet, 0, true);
        ASSERT_NE(dialog, nullptr);
        for (const auto& text : ClippedTexts(dialog)) {
            ADD_FAILURE() << "clipped: " << Utf8(text);
        }
        DestroyWindow(dialog);
    }
}

TEST_F(Resources, MainWindowShowsTheLogo) {
    HWND dialog = CreateDialogIn(IDD_MAIN, kChinese, nullptr, Quiet, 0, true);
    ASSERT_NE(dialog, nullptr);
    HANDLE logo = nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
            logo = reinterpret_cast<HANDLE>(SendMessageW(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
        }
    }
    ASSERT_NE(logo, nullptr);
    BITMAP bitmap{};
    GetObjectW(logo, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 70);
    EXPECT_EQ(bitmap.bmHeight, 63);
    DestroyWindow(dialog);
}

TEST_F(Resources, TrayMenuHasItsItemsInBothLanguages) {
    struct Item {
        UINT id;
        const wchar_t* english;
        const wchar_t* chinese;
    };
    const Item items[] = {{ID_TRAY_CONFIG, L"Config", L"配置框"},
                          {ID_TRAY_ABOUT, L"About", L"About"},
                          {0, nullptr, nullptr},
                          {ID_TRAY_SHUTDOWN, L"Shutdown", L"关闭服务程序"}};
    for (LANGID language : {kEnglish, kChinese}) {
        SCOPED_TRACE(LanguageName(language));
        HMENU menu = LoadMenuIn(IDR_TRAY_MENU, language);
        ASSERT_NE(menu, nullptr);
        HMENU popup = GetSubMenu(menu, 0);
        ASSERT_NE(popup, nullptr);
        ASSERT_EQ(GetMenuItemCount(popup), 4);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE("item " + std::to_string(i));
            MENUITEMINFOW info{};
            wchar_t text[64] = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = 64;
            ASSERT_TRUE(GetMenuItemInfoW(popup, i, TRUE, &info));
            if (!items[i].english) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR);
                continue;
            }
            EXPECT_EQ(info.wID, items[i].id);
            EXPECT_STREQ(text, language == kEnglish ? items[i].english : items[i].chinese);
        }
        DestroyMenu(menu);
    }
}

TEST_F(Resources, StringsInBothLanguages) {
    struct Text {
        int id;
        const wchar_t* english;
        const wchar_t* chinese;
    };
    const Text texts[] = {
        {IDS_CONNECTED, L"Connected", L"网络连接 开启状态"},
        {IDS_DISCONNECTED, L"Disconnected", L"网络连接 关闭状态"},
        {IDS_MULTIPLE_ADDRESSES, L"Multiple IP Address", L"本机有多个IP地址"},
        {IDS_WIRELESS_NETWORK, L"Wireless Network", L"连接到无线网络"},
        {IDS_NETCARD_NAME, L"NetCard Name", L"网卡名"},
        {IDS_VERSION, L"Version", L"当前版本"},
        {IDS_UPDATE_QUESTION, L"CorvaneServer Has New Version. \r\n\r\n Update ? ",
         L"CorvaneServer 有新的版本，要更新吗？\r\n\r\n新版本会增加新功能，修改BUG，建议您更新"}};
    for (const Text& t : texts) {
        SCOPED_TRACE("string " + std::to_string(t.id));
        std::wstring english, chinese;
        ASSERT_TRUE(LoadText(t.id, kEnglish, &english));
        ASSERT_TRUE(LoadText(t.id, kChinese, &chinese));
        EXPECT_EQ(english, t.english);
        EXPECT_EQ(chinese, t.chinese);
    }
}

TEST_F(Resources, AboutTextInBothLanguages) {
    std::wstring english, chinese;
    ASSERT_TRUE(LoadText(IDS_ABOUT_TEXT, kEnglish, &english));
    ASSERT_TRUE(LoadText(IDS_ABOUT_TEXT, kChinese, &chinese));
    // Nine lines joined by CR LF, no bare line feeds, and the web address on a line of its own.
    size_t lines = 1;
    for (size_t at = english.find(L"\r\n"); at != std::wstring::npos;
         at = english.find(L"\r\n", at + 2)) {
        ++lines;
    }
    EXPECT_EQ(lines, 9u);
    EXPECT_EQ(std::count(english.begin(), english.end(), L'\n'),
              std::count(english.begin(), english.end(), L'\r'));
    EXPECT_NE(english.find(L"\r\nhttps://example.com/\r\n"), std::wstring::npos);
    EXPECT_NE(english.find(L"Wi-Fi"), std::wstring::npos);
    EXPECT_NE(chinese.find(L"https://example.com/"), std::wstring::npos);
    EXPECT_NE(chinese.find(L"@example.com"), std::wstring::npos);
}

// The ordinary loaders follow the thread's user-interface language, as the program sets it at
// start: English where an English resource exists, the Chinese one otherwise.
TEST_F(Resources, ThreadLanguagePicksTheResources) {
    LANGID saved = GetThreadUILanguage();
    LCID savedLocale = GetThreadLocale();
    for (LANGID language : {kEnglish, kChinese}) {
        SCOPED_TRACE(LanguageName(language));
        SetThreadUILanguage(language);
        SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
        wchar_t text[64] = {};
        LoadStringW(GetModuleHandleW(nullptr), IDS_CONNECTED, text, 64);
        EXPECT_STREQ(text, language == kEnglish ? L"Connected" : L"网络连接 开启状态");
        // The Chinese-only templates serve English too (the dialog functions find templates
        // as FindResourceW does).
        for (int id : {IDD_MAIN, IDD_ABOUT_PAGE, IDD_CONNECTION_POPUP}) {
            HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kDialog));
            ASSERT_NE(found, nullptr) << "dialog " << id;
            EXPECT_EQ(LockResource(LoadResource(nullptr, found)), Find(kDialog, id, kChinese).data);
        }
        HWND page = CreateDialogParamW(GetModuleHandleW(nullptr),
                                       MAKEINTRESOURCEW(IDD_ADVANCED_PAGE), host_, Quiet, 0);
        ASSERT_NE(page, nullptr);
        GetDlgItemTextW(page, IDC_LOCK, text, 64);
        EXPECT_STREQ(text, language == kEnglish ? L"Lock" : L"同时");
        DestroyWindow(page);
    }
    SetThreadUILanguage(saved);
    SetThreadLocale(savedLocale);
}

// Pixels of an icon image stored as a 32-bit DIB: whether any is partly transparent.
bool HasSoftEdges(Bytes image) {
    BITMAPINFOHEADER header;
    if (image.size < sizeof header) return false;
    memcpy(&header, image.data, sizeof header);
    if (header.biBitCount != 32) return false;
    size_t pixels = static_cast<size_t>(header.biWidth) * (header.biHeight / 2);
    if (header.biSize + pixels * 4 > image.size) return false;
    const BYTE* p = image.data + header.biSize;
    for (size_t i = 0; i < pixels; ++i) {
        BYTE alpha = p[i * 4 + 3];
        if (alpha > 0 && alpha < 255) return true;
    }
    return false;
}

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    SIZE size{0, 0};
    if (!GetIconInfo(icon, &info)) return size;
    BITMAP bitmap{};
    if (info.hbmColor) {
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        size = {bitmap.bmWidth, bitmap.bmHeight};
    } else {
        GetObjectW(info.hbmMask, sizeof bitmap, &bitmap);
        size = {bitmap.bmWidth, bitmap.bmHeight / 2};
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return size;
}

TEST_F(Resources, IconsHaveTheirSizesAndLanguages) {
    struct Icon {
        int id;
        std::vector<int> sizes;  // square sizes; 0 for the page pictures (162 x 63)
        bool perLanguage;
    };
    const Icon icons[] = {{IDI_MAIN, {16, 32, 48}, false},
                          {IDI_TRAY, {16, 32, 48}, false},
                          {IDI_SERVICE_OFF, {16}, false},
                          {IDI_SERVICE_ON, {16}, false},
                          {IDI_CLOSE, {16}, false},
                          {IDI_MINIMISE, {16}, false},
                          {IDI_POPUP_CLOSE, {12}, false},
                          {IDI_PAGE_BASIC, {0}, true},
                          {IDI_PAGE_BASIC_CHECKED, {0}, true},
                          {IDI_PAGE_ADVANCED, {0}, true},
                          {IDI_PAGE_ADVANCED_CHECKED, {0}, true},
                          {IDI_PAGE_ABOUT, {0}, true},
                          {IDI_PAGE_ABOUT_CHECKED, {0}, true}};
    for (const Icon& icon : icons) {
        SCOPED_TRACE("icon " + std::to_string(icon.id));
        auto languages = Languages(kGroupIcon, icon.id);
        std::sort(languages.begin(), languages.end());
        std::vector<LANGID> expected =
            icon.perLanguage ? std::vector<LANGID>{kEnglish, kChinese} : std::vector{kNeutral};
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(languages, expected);
        std::vector<Bytes> images;
        for (LANGID language : languages) {
            SCOPED_TRACE(LanguageName(language));
            auto group = IconGroup(icon.id, language);
            ASSERT_EQ(group.size(), icon.sizes.size());
            for (size_t i = 0; i < group.size(); ++i) {
                int w = icon.sizes[i] ? icon.sizes[i] : 162, h = icon.sizes[i] ? icon.sizes[i] : 63;
                EXPECT_EQ(group[i].width, w);
                EXPECT_EQ(group[i].height, h);
                EXPECT_EQ(group[i].bitCount, 32);
                Bytes image = Find(kIcon, group[i].imageId, language);
                ASSERT_TRUE(image);
                EXPECT_TRUE(HasSoftEdges(image)) << "no antialiased edge";
                images.push_back(image);
                HICON loaded = LoadIconIn(icon.id, language, w, h);
                ASSERT_NE(loaded, nullptr);
                SIZE size = IconSize(loaded);
                EXPECT_EQ(size.cx, w);
                EXPECT_EQ(size.cy, h);
                DestroyIcon(loaded);
            }
        }
        if (icon.perLanguage) {
            // The page's name is drawn into the picture, so the languages differ.
            ASSERT_EQ(images.size(), 2u);
            EXPECT_FALSE(images[0].size == images[1].size &&
                         memcmp(images[0].data, images[1].data, images[0].size) == 0);
        }
        // And the ordinary loader finds it.
        HANDLE loaded =
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(icon.id), IMAGE_ICON, 0, 0, 0);
        EXPECT_NE(loaded, nullptr);
        if (loaded) DestroyIcon(static_cast<HICON>(loaded));
    }
}

TEST_F(Resources, LogoBitmap) {
    EXPECT_EQ(Languages(kBitmap, IDB_LOGO), std::vector<LANGID>{kNeutral});
    HANDLE logo = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0,
                             0, LR_CREATEDIBSECTION);
    ASSERT_NE(logo, nullptr);
    BITMAP bitmap{};
    GetObjectW(logo, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 70);
    EXPECT_EQ(bitmap.bmHeight, 63);
    // Its background is the window's, so that it sits on the window without a frame.
    ASSERT_NE(bitmap.bmBits, nullptr);
    const BYTE* corner = static_cast<const BYTE*>(bitmap.bmBits);  // bottom-left, BGR
    EXPECT_EQ(RGB(corner[2], corner[1], corner[0]), RGB(103, 129, 160));
    DeleteObject(logo);
}

TEST_F(Resources, HandCursorPointsWithItsFingertip) {
    EXPECT_EQ(Languages(kGroupCursor, IDC_HAND_LINK), std::vector<LANGID>{kNeutral});
    auto group = IconGroup(IDC_HAND_LINK, kNeutral);
    ASSERT_EQ(group.size(), 1u);
    EXPECT_EQ(group[0].width, 32);
    EXPECT_EQ(group[0].height, 32);
    HANDLE cursor = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_HAND_LINK),
                               IMAGE_CURSOR, 0, 0, 0);
    ASSERT_NE(cursor, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(static_cast<HICON>(cursor), &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 12u);
    EXPECT_EQ(info.yHotspot, 1u);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    SIZE size = IconSize(static_cast<HICON>(cursor));
    EXPECT_EQ(size.cx, 32);
    EXPECT_EQ(size.cy, 32);
    DestroyCursor(static_cast<HCURSOR>(cursor));
}

}  // namespace
