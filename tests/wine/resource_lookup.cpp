#include "resource_lookup.h"

#include <cstring>

namespace resource_lookup {

namespace {

HMODULE Self() { return GetModuleHandleW(nullptr); }

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<LANGID>*>(param)->push_back(language);
    return TRUE;
}

// Reads DLGTEMPLATEEX fields in order; every read checks the bounds.
class Reader {
public:
    explicit Reader(Bytes bytes) : data_(bytes.data), size_(bytes.size) {}
    bool ok() const { return ok_; }
    template <typename T>
    T Get() {
        T value{};
        if (pos_ + sizeof(T) > size_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + pos_, sizeof(T));
        pos_ += sizeof(T);
        return value;
    }
    std::wstring String() {
        std::wstring text;
        for (WCHAR c = Get<WCHAR>(); ok_ && c != 0; c = Get<WCHAR>()) text += c;
        return text;
    }
    // A name that may be an ordinal (0xFFFF followed by the number).
    std::wstring NameOrOrdinal(WORD* ordinal) {
        *ordinal = 0;
        if (pos_ + 2 <= size_ && data_[pos_] == 0xFF && data_[pos_ + 1] == 0xFF) {
            pos_ += 2;
            *ordinal = Get<WORD>();
            return {};
        }
        return String();
    }
    void Align(size_t to) { pos_ = (pos_ + to - 1) / to * to; }
    void Skip(size_t n) {
        pos_ += n;
        if (pos_ > size_) ok_ = false;
    }

private:
    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

const wchar_t* PredefinedClass(WORD ordinal) {
    switch (ordinal) {
        case 0x80:
            return L"Button";
        case 0x81:
            return L"Edit";
        case 0x82:
            return L"Static";
        case 0x83:
            return L"ListBox";
        case 0x84:
            return L"ScrollBar";
        case 0x85:
            return L"ComboBox";
        default:
            return L"?";
    }
}

}  // namespace

Bytes Find(Type type, int id, LANGID language) {
    HRSRC found = FindResourceExW(Self(), MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id), language);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(Self(), found);
    if (!loaded) return {};
    return {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(Self(), found)};
}

std::vector<LANGID> Languages(Type type, int id) {
    std::vector<LANGID> languages;
    EnumResourceLanguagesW(Self(), MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

bool LoadText(int id, LANGID language, std::wstring* text) {
    // Strings live in blocks of sixteen, each a counted UTF-16 string.
    Bytes block = Find(kString, id / 16 + 1, language);
    if (!block) return false;
    const WCHAR* p = reinterpret_cast<const WCHAR*>(block.data);
    const WCHAR* end = p + block.size / sizeof(WCHAR);
    for (int i = 0; i < id % 16; ++i) {
        if (p >= end) return false;
        p += 1 + *p;
    }
    if (p >= end || *p == 0 || p + 1 + *p > end) return false;
    text->assign(p + 1, *p);
    return true;
}

HWND CreateDialogIn(int id, LANGID language, HWND parent, DLGPROC procedure, LPARAM param,
                    bool hidden) {
    Bytes bytes = Find(kDialog, id, language);
    if (!bytes) return nullptr;
    std::vector<BYTE> copy(bytes.data, bytes.data + bytes.size);
    if (hidden && copy.size() >= 16) {
        // DLGTEMPLATEEX: version, signature, help id, extended style, then the style.
        DWORD style;
        std::memcpy(&style, copy.data() + 12, 4);
        style &= ~WS_VISIBLE;
        std::memcpy(copy.data() + 12, &style, 4);
    }
    return CreateDialogIndirectParamW(Self(), reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()),
                                      parent, procedure, param);
}

HMENU LoadMenuIn(int id, LANGID language) {
    Bytes bytes = Find(kMenu, id, language);
    return bytes ? LoadMenuIndirectW(bytes.data) : nullptr;
}

HICON LoadIconIn(int id, LANGID language, int cx, int cy) {
    Bytes group = Find(kGroupIcon, id, language);
    if (!group) return nullptr;
    int imageId =
        LookupIconIdFromDirectoryEx(const_cast<BYTE*>(group.data), TRUE, cx, cy, LR_DEFAULTCOLOR);
    // The images of a group carry the group's language.
    Bytes image = Find(kIcon, imageId, language);
    if (!image) return nullptr;
    return CreateIconFromResourceEx(const_cast<BYTE*>(image.data), image.size, TRUE, 0x00030000, cx,
                                    cy, LR_DEFAULTCOLOR);
}

std::vector<GroupEntry> IconGroup(int id, LANGID language) {
    // Icon and cursor groups share one layout: a 6-byte header, then 14-byte entries.
    std::vector<GroupEntry> entries;
    bool cursor = false;
    Bytes group = Find(kGroupIcon, id, language);
    if (!group) {
        group = Find(kGroupCursor, id, language);
        cursor = true;
    }
    if (!group || group.size < 6) return entries;
    WORD count;
    std::memcpy(&count, group.data + 4, 2);
    for (WORD i = 0; i < count && 6 + 14u * (i + 1) <= group.size; ++i) {
        const BYTE* e = group.data + 6 + 14 * i;
        WORD w16, h16, bits, imageId;
        std::memcpy(&bits, e + 6, 2);
        std::memcpy(&imageId, e + 12, 2);
        GroupEntry entry{};
        if (cursor) {
            // Cursor entries hold 16-bit width and height, the height counting both masks.
            std::memcpy(&w16, e, 2);
            std::memcpy(&h16, e + 2, 2);
            entry = {w16, h16 / 2, 0, imageId};
        } else {
            entry = {e[0] ? e[0] : 256, e[1] ? e[1] : 256, bits, imageId};
        }
        entries.push_back(entry);
    }
    return entries;
}

bool ParseTemplate(Bytes bytes, Template* out) {
    Reader r(bytes);
    WORD version = r.Get<WORD>();
    WORD signature = r.Get<WORD>();
    if (!r.ok() || version != 1 || signature != 0xFFFF) return false;
    r.Get<DWORD>();  // help id
    out->exStyle = r.Get<DWORD>();
    out->style = r.Get<DWORD>();
    WORD count = r.Get<WORD>();
    r.Get<short>();
    r.Get<short>();
    out->cx = r.Get<short>();
    out->cy = r.Get<short>();
    WORD ordinal;
    r.NameOrOrdinal(&ordinal);  // menu
    r.NameOrOrdinal(&ordinal);  // class
    out->caption = r.String();
    if (out->style & DS_SETFONT) {
        out->pointSize = r.Get<WORD>();
        r.Get<WORD>();  // weight
        r.Get<BYTE>();  // italic
        r.Get<BYTE>();  // character set
        out->face = r.String();
    }
    for (WORD i = 0; i < count && r.ok(); ++i) {
        r.Align(4);
        TemplateItem item;
        r.Get<DWORD>();  // help id
        item.exStyle = r.Get<DWORD>();
        item.style = r.Get<DWORD>();
        item.x = r.Get<short>();
        item.y = r.Get<short>();
        item.cx = r.Get<short>();
        item.cy = r.Get<short>();
        item.id = static_cast<int>(r.Get<DWORD>());
        std::wstring cls = r.NameOrOrdinal(&ordinal);
        item.windowClass = ordinal ? PredefinedClass(ordinal) : cls;
        std::wstring text = r.NameOrOrdinal(&ordinal);
        item.text = ordinal ? L"#" + std::to_wstring(ordinal) : text;
        WORD extra = r.Get<WORD>();
        r.Skip(extra);
        out->items.push_back(item);
    }
    return r.ok();
}

}  // namespace resource_lookup
