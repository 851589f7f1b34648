// Narrow text of a given Windows code page (the program's own text uses the ANSI code page).
#pragma once

#include <cstddef>
#include <string_view>

// The longest start of `text` with at most `limit` bytes that ends on a whole character of the
// code page: a double-byte character (or, for CP_UTF8, a UTF-8 sequence) is never cut in half.
std::string_view CutCodePageText(unsigned codePage, std::string_view text, size_t limit);
