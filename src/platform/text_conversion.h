// Text conversions between the program's narrow text, UTF-8 and UTF-16.
//
// Narrow text inside the program is in the system ANSI code page on Windows and UTF-8 elsewhere
// (where the ANSI conversions are therefore the identity). UTF-16 is held as std::u16string;
// Windows code converts to and from wchar_t only at the system call.
//
// No conversion fails: input that cannot be decoded becomes U+FFFD, and characters that the ANSI
// code page lacks become the system's default character. All functions are thread-safe.
#pragma once

#include <string>
#include <string_view>

std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

// The longest start of narrow program text that has at most `limit` bytes and ends on a whole
// character: a UTF-8 sequence or a double-byte character of the ANSI code page is never cut in
// half.
std::string_view CutAnsi(std::string_view text, size_t limit);
