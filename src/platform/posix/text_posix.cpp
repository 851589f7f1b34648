// On these systems the program's narrow text is UTF-8, so "ANSI" is UTF-8 as it stands.
#include "platform/text_conversion.h"
#include "support/text.h"

std::u16string AnsiToUtf16(std::string_view text) { return DecodeUtf8(text); }
std::string Utf16ToAnsi(std::u16string_view text) { return EncodeUtf8(text); }
std::u16string Utf8ToUtf16(std::string_view text) { return DecodeUtf8(text); }
std::string Utf16ToUtf8(std::u16string_view text) { return EncodeUtf8(text); }
std::string AnsiToUtf8(std::string_view text) { return std::string(text); }
std::string Utf8ToAnsi(std::string_view text) { return std::string(text); }
std::string_view CutAnsi(std::string_view text, size_t limit) { return CutUtf8(text, limit); }
