// Lets Wine find the Chinese fonts the program asks for by their Chinese names, 微软雅黑
// (Microsoft YaHei) and 黑体 (SimHei): both stand for WenQuanYi Micro Hei in the test prefix, as
// cjk_fonts.reg does for their English names. Wine reads the replacements when a process starts,
// so this runs before the programs that draw with them. Names in a REGEDIT4 file can only be in
// the ANSI code page, hence a program.
#include <windows.h>

#include <cstdio>
#include <initializer_list>

int main() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Fonts\\Replacements", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot open the font replacements\n");
        return 1;
    }
    static const wchar_t kFont[] = L"WenQuanYi Micro Hei";
    int failures = 0;
    for (const wchar_t* name : {L"\u5FAE\u8F6F\u96C5\u9ED1", L"\u9ED1\u4F53"}) {
        failures += RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kFont),
                                   sizeof kFont) != ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return failures == 0 ? 0 : 1;
}
