// UTF-8 and UTF-16, converted by the program itself. UTF-16 is held as std::u16string.
// Thread-safe.
#pragma once

#include <string>
#include <string_view>

// The program's own UTF-8 codec, identical on every system; the POSIX system conversions
// (platform/text_conversion.h) use it.
// DecodeUtf8 replaces each maximal ill-formed subsequence (an overlong form, an encoded surrogate,
// a value past U+10FFFF, a stray continuation byte, a sequence cut short) by one U+FFFD.
// EncodeUtf8 joins surrogate pairs and turns an unpaired surrogate into U+FFFD.
std::u16string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u16string_view text);

// The longest start of `text` that has at most `limit` bytes and does not end inside a UTF-8
// sequence: a character that would be cut is left out whole. Bytes that are not well-formed
// UTF-8 count as characters of their own.
std::string_view CutUtf8(std::string_view text, size_t limit);

// The longest start of `text` with at most `limit` units that does not split a surrogate pair.
std::u16string_view CutUtf16(std::u16string_view text, size_t limit);

// Text received from outside, made safe to print on a terminal or into the log: every byte
// below 0x20, the byte 0x7F and the UTF-8 forms of U+0080..U+009F (controls some terminals
// obey) are shown as "\x" and two lower-case hexadecimal digits; all other bytes stay as they
// are.
std::string EscapeControls(std::string_view text);
