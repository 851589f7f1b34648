// Loads the program's resources in a given language, whatever the thread's language is.
// The ordinary loaders (LoadStringW, LoadMenuW, CreateDialogParamW, LoadImageW) pick the language
// themselves; these go through FindResourceExW, so a test can look at both languages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace resource_lookup {

inline constexpr LANGID kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
inline constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
inline constexpr LANGID kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

// Resource types by number (the RT_ names of windows.h are narrow or wide by UNICODE).
enum Type : WORD {
    kCursor = 1,
    kBitmap = 2,
    kIcon = 3,
    kMenu = 4,
    kDialog = 5,
    kString = 6,
    kGroupCursor = 12,
    kGroupIcon = 14,
};

// The raw bytes of a resource in exactly that language; empty when there is none.
struct Bytes {
    const BYTE* data = nullptr;
    DWORD size = 0;
    explicit operator bool() const { return data != nullptr; }
};
Bytes Find(Type type, int id, LANGID language);

// Every language in which the module holds the resource, in the module's order.
std::vector<LANGID> Languages(Type type, int id);

// String `id` from the string table of that language; false when there is none.
bool LoadText(int id, LANGID language, std::wstring* text);

// A dialog created from the template of that language (nullptr when missing or failing).
// Hidden clears the template's visible style first: showing a top-level window under Wine
// without a window manager takes a while.
HWND CreateDialogIn(int id, LANGID language, HWND parent, DLGPROC procedure, LPARAM param = 0,
                    bool hidden = false);

// The menu of that language; the caller destroys it.
HMENU LoadMenuIn(int id, LANGID language);

// The image of that language's icon group that best fits cx x cy; the caller destroys it.
HICON LoadIconIn(int id, LANGID language, int cx, int cy);

// One image of an icon or cursor group as its directory describes it.
struct GroupEntry {
    int width;
    int height;
    int bitCount;  // 0 for cursors, whose directory does not say
    int imageId;
};
std::vector<GroupEntry> IconGroup(int id, LANGID language);

// A dialog template read back from its bytes (DLGTEMPLATEEX only).
struct TemplateItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::wstring windowClass;  // predefined classes by name: Button, Edit, Static, ...
    std::wstring text;         // "#143" for a resource ordinal
};
struct Template {
    DWORD style = 0;
    DWORD exStyle = 0;
    short cx = 0, cy = 0;
    std::wstring caption;
    int pointSize = 0;
    std::wstring face;
    std::vector<TemplateItem> items;
};
bool ParseTemplate(Bytes bytes, Template* out);

}  // namespace resource_lookup
