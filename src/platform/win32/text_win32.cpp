#include <windows.h>

#include <climits>

#include "platform/text_conversion.h"
#include "platform/win32/code_page_text.h"
#include "support/text.h"

namespace {

// wchar_t is 16 bits on Windows, so char16_t data can be handed to the system as it is.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::u16string ToUtf16(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) return std::u16string();
    const int inLength = static_cast<int>(text.size());
    int length = MultiByteToWideChar(codePage, 0, text.data(), inLength, nullptr, 0);
    if (length <= 0) return std::u16string();
    std::u16string out(static_cast<size_t>(length), u'\0');
    length = MultiByteToWideChar(codePage, 0, text.data(), inLength,
                                 reinterpret_cast<wchar_t*>(out.data()), length);
    out.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return out;
}

std::string FromUtf16(UINT codePage, std::u16string_view text) {
    if (text.empty() || text.size() > INT_MAX) return std::string();
    const wchar_t* in = reinterpret_cast<const wchar_t*>(text.data());
    const int inLength = static_cast<int>(text.size());
    int length = WideCharToMultiByte(codePage, 0, in, inLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string out(static_cast<size_t>(length), '\0');
    length = WideCharToMultiByte(codePage, 0, in, inLength, out.data(), length, nullptr, nullptr);
    out.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return out;
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view text) { return ToUtf16(CP_ACP, text); }
std::string Utf16ToAnsi(std::u16string_view text) { return FromUtf16(CP_ACP, text); }
std::u16string Utf8ToUtf16(std::string_view text) { return ToUtf16(CP_UTF8, text); }
std::string Utf16ToUtf8(std::u16string_view text) { return FromUtf16(CP_UTF8, text); }
std::string AnsiToUtf8(std::string_view text) { return Utf16ToUtf8(AnsiToUtf16(text)); }
std::string Utf8ToAnsi(std::string_view text) { return Utf16ToAnsi(Utf8ToUtf16(text)); }

std::string_view CutCodePageText(unsigned codePage, std::string_view text, size_t limit) {
    if (text.size() <= limit) return text;
    if (codePage == CP_UTF8) return CutUtf8(text, limit);
    // A trail byte may look like a lead byte, so characters are counted from the start.
    size_t end = 0;
    while (end < limit) {
        const size_t length = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[end])) ? 2 : 1;
        if (end + length > limit) break;
        end += length;
    }
    return text.substr(0, end);
}

std::string_view CutAnsi(std::string_view text, size_t limit) {
    return CutCodePageText(GetACP(), text, limit);
}
