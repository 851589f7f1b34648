// Character-level tokenizer behind JsonParse. Internal to the JSON reader.
#pragma once

#include <cstddef>

namespace json_detail {

enum class Token {
    kEnd,       // NUL reached, also inside an unfinished token
    kLexError,  // a character no token can take
    kNoMemory,  // the token buffer could not be started or grown
    kBeginObject,
    kEndObject,
    kBeginArray,
    kEndArray,
    kColon,
    kComma,
    kString,  // text in the token buffer
    kNumber,  // text in the token buffer
    kTrue,
    kFalse,
    kNull,
};

// Growable, always NUL-terminated text of the current string or number token. `capacity` counts
// characters; the allocation has one more byte for the terminator.
struct TokenBuffer {
    char* data = nullptr;
    std::size_t length = 0;
    std::size_t capacity = 0;
};

// Hands the buffer's text over, shrunk to its length, and leaves the buffer empty so the next
// token starts a new one.
char* TokenBufferRelease(TokenBuffer& buffer);
void TokenBufferFree(TokenBuffer& buffer);

struct Lexer {
    const char* pos;          // read position; stays on the terminating NUL once reached
    std::ptrdiff_t line = 1;  // CR and LF between tokens each count one
    TokenBuffer buffer;
};

// Reads one token and leaves `pos` behind it; after kLexError `pos` is wherever reading stopped.
Token LexNext(Lexer& lexer);

}  // namespace json_detail
