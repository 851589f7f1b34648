#include "support/json_lexer.h"

#include <cstdlib>
#include <cstring>

namespace json_detail {
namespace {

constexpr std::size_t kBufferStartCapacity = 8;
constexpr std::size_t kBufferGrowth = 5;

enum LexState {
    kStart,
    kInString,
    kAfterBackslash,
    kInUnicodeEscape,
    kInLiteral,
    kAfterMinus,
    kAfterLeadingZero,
    kInInteger,
    kAfterPoint,
    kInFraction,
    kAfterExponentMark,
    kAfterExponentSign,
    kInExponent,
};

// Empties the buffer for a new token, allocating it if the previous text was handed over.
bool BufferStart(TokenBuffer& buffer) {
    if (buffer.data == nullptr) {
        buffer.data = static_cast<char*>(std::malloc(kBufferStartCapacity + 1));
        if (buffer.data == nullptr) return false;
        buffer.capacity = kBufferStartCapacity;
    }
    buffer.length = 0;
    buffer.data[0] = '\0';
    return true;
}

bool BufferAppend(TokenBuffer& buffer, char c) {
    if (buffer.length == buffer.capacity) {
        const std::size_t capacity = buffer.capacity + kBufferGrowth;
        char* data = static_cast<char*>(std::realloc(buffer.data, capacity + 1));
        if (data == nullptr) return false;
        buffer.data = data;
        buffer.capacity = capacity;
    }
    buffer.data[buffer.length++] = c;
    buffer.data[buffer.length] = '\0';
    return true;
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(unsigned char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsSimpleEscape(unsigned char c) { return c != '\0' && std::strchr("\"/\\bfnrt", c); }

// Token of a one-character punctuation mark, or kEnd for any other character.
Token Punctuation(unsigned char c) {
    switch (c) {
        case '{':
            return Token::kBeginObject;
        case '}':
            return Token::kEndObject;
        case '[':
            return Token::kBeginArray;
        case ']':
            return Token::kEndArray;
        case ':':
            return Token::kColon;
        case ',':
            return Token::kComma;
        default:
            return Token::kEnd;
    }
}

bool NumberCanEndIn(LexState state) {
    return state == kAfterLeadingZero || state == kInInteger || state == kInFraction ||
           state == kInExponent;
}

// Number grammar: the state reached by appending `c` in `state`, or kStart when `c` cannot
// follow. Terminators are handled by the caller.
LexState NumberStep(LexState state, unsigned char c) {
    const bool exponentMark = c == 'e' || c == 'E';
    switch (state) {
        case kAfterMinus:
            if (c == '0') return kAfterLeadingZero;
            return IsDigit(c) ? kInInteger : kStart;
        case kAfterLeadingZero:
            if (c == '.') return kAfterPoint;
            return exponentMark ? kAfterExponentMark : kStart;
        case kInInteger:
            if (IsDigit(c)) return kInInteger;
            if (c == '.') return kAfterPoint;
            return exponentMark ? kAfterExponentMark : kStart;
        case kAfterPoint:
            return IsDigit(c) ? kInFraction : kStart;
        case kInFraction:
            if (IsDigit(c)) return kInFraction;
            return exponentMark ? kAfterExponentMark : kStart;
        case kAfterExponentMark:
            if (c == '+' || c == '-') return kAfterExponentSign;
            return IsDigit(c) ? kInExponent : kStart;
        case kAfterExponentSign:
        case kInExponent:
            return IsDigit(c) ? kInExponent : kStart;
        default:
            return kStart;
    }
}

}  // namespace

char* TokenBufferRelease(TokenBuffer& buffer) {
    char* text = buffer.data;
    if (text != nullptr) {
        // A failed shrink leaves the larger block, which is still valid.
        if (char* shrunk = static_cast<char*>(std::realloc(text, buffer.length + 1))) {
            text = shrunk;
        }
    }
    buffer = TokenBuffer{};
    return text;
}

void TokenBufferFree(TokenBuffer& buffer) {
    std::free(buffer.data);
    buffer = TokenBuffer{};
}

Token LexNext(Lexer& lexer) {
    LexState state = kStart;
    const char* literalRest = nullptr;  // letters still expected of true/false/null
    Token literalToken = Token::kEnd;
    int hexDigitsLeft = 0;

    for (;; ++lexer.pos) {
        const unsigned char c = static_cast<unsigned char>(*lexer.pos);
        if (c == '\0') return Token::kEnd;

        switch (state) {
            case kStart:
                switch (c) {
                    case ' ':
                    case '\t':
                        continue;
                    case '\r':
                    case '\n':
                        ++lexer.line;
                        continue;
                    case '"':
                        if (!BufferStart(lexer.buffer)) return Token::kNoMemory;
                        state = kInString;
                        continue;
                    case 't':
                        literalRest = "rue";
                        literalToken = Token::kTrue;
                        break;
                    case 'f':
                        literalRest = "alse";
                        literalToken = Token::kFalse;
                        break;
                    case 'n':
                        literalRest = "ull";
                        literalToken = Token::kNull;
                        break;
                    default:
                        if (const Token token = Punctuation(c); token != Token::kEnd) {
                            ++lexer.pos;
                            return token;
                        }
                        if (c != '-' && !IsDigit(c)) return Token::kLexError;
                        if (!BufferStart(lexer.buffer) || !BufferAppend(lexer.buffer, c)) {
                            return Token::kNoMemory;
                        }
                        state = c == '-' ? kAfterMinus : c == '0' ? kAfterLeadingZero : kInInteger;
                        continue;
                }
                state = kInLiteral;
                continue;

            case kInString:
                if (c == '"') {
                    ++lexer.pos;
                    return Token::kString;
                }
                if (c < 0x20) return Token::kLexError;
                if (c == '\\') state = kAfterBackslash;
                break;

            case kAfterBackslash:
                if (c == 'u') {
                    hexDigitsLeft = 4;
                    state = kInUnicodeEscape;
                } else if (IsSimpleEscape(c)) {
                    state = kInString;
                } else {
                    return Token::kLexError;
                }
                break;

            case kInUnicodeEscape:
                if (!IsHexDigit(c)) return Token::kLexError;
                if (--hexDigitsLeft == 0) state = kInString;
                break;

            case kInLiteral:
                if (c != static_cast<unsigned char>(*literalRest)) return Token::kLexError;
                if (*++literalRest == '\0') {
                    ++lexer.pos;
                    return literalToken;
                }
                continue;

            default:  // inside a number
                if (NumberCanEndIn(state)) {
                    // Whitespace after a number is consumed without counting lines; a
                    // punctuation terminator is left as the next token.
                    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                        ++lexer.pos;
                        return Token::kNumber;
                    }
                    if (c == ',' || c == ']' || c == '}') return Token::kNumber;
                }
                state = NumberStep(state, c);
                if (state == kStart) return Token::kLexError;
                break;
        }
        // The character belongs to the string or number being read.
        if (!BufferAppend(lexer.buffer, static_cast<char>(c))) return Token::kNoMemory;
    }
}

}  // namespace json_detail
