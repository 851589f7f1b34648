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
