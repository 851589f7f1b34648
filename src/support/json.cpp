#include "support/json.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "support/json_lexer.h"

using json_detail::Lexer;
using json_detail::Token;

namespace {

// Parser states. 1 and 7 take no token: they build a container, then move on.
enum ParseState {
    kExpectDocument = 0,
    kCreateObject = 1,
    kAfterOpenBrace = 2,
    kAfterMember = 3,
    kAfterMemberComma = 4,
    kAfterKey = 5,
    kAfterColon = 6,
    kCreateArray = 7,
    kBeforeElement = 8,
    kAfterElement = 9,
    kComplete = 99,
};

bool IsScalar(std::int32_t type) { return type != kJsonObject && type != kJsonArray; }

JsonNode* NewNode(std::int32_t type) {
    return new (std::nothrow) JsonNode{type, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}

// Appends `child` to `parent` if the pair makes sense: objects hold only keys, keys and arrays
// hold values, other nodes hold nothing.
bool Attach(JsonNode* parent, JsonNode* child) {
    switch (parent->type) {
        case kJsonObject:
            if (child->type != kJsonString) return false;
            break;
        case kJsonString:
        case kJsonArray:
            if (IsScalar(child->type) && child->firstChild != nullptr) return false;
            break;
        default:
            return false;
    }
    child->parent = parent;
    child->previous = parent->lastChild;
    if (parent->lastChild != nullptr) {
        parent->lastChild->next = child;
    } else {
        parent->firstChild = child;
    }
    parent->lastChild = child;
    return true;
}

class Parser {
public:
    explicit Parser(const char* text) { lexer_.pos = text; }
    ~Parser() {
        json_detail::TokenBufferFree(lexer_.buffer);
        JsonFreeTree(&root_);
    }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    int Run();
    JsonNode* TakeRoot() {
        JsonNode* root = root_;
        root_ = nullptr;
        return root;
    }

private:
    int Step(Token token);
    int CreateContainer(std::int32_t type);
    int AddValue(Token token, ParseState nextState);
    int AddKey();
    int CloseContainer();
    int Defaulted() const;

    Lexer lexer_{};
    ParseState state_ = kExpectDocument;
    JsonNode* root_ = nullptr;
    JsonNode* current_ = nullptr;  // container or key receiving the next node
};

// 0 from a step means "keep going"; any other value is the final result code.
int Parser::Run() {
    for (;;) {
        if (*lexer_.pos == '\0') return state_ == kComplete ? kJsonOk : kJsonIncomplete;
        int code = 0;
        if (state_ == kCreateObject) {
            code = CreateContainer(kJsonObject);
        } else if (state_ == kCreateArray) {
            code = CreateContainer(kJsonArray);
        } else {
            code = Step(json_detail::LexNext(lexer_));
        }
        if (code != 0) return code;
    }
}

int Parser::Defaulted() const {
    std::fprintf(stderr, "JSON: state %d: defaulted at line %zd\n", static_cast<int>(state_),
                 lexer_.line);
    return kJsonSyntaxError;
}

int Parser::Step(Token token) {
    const bool scalar = token == Token::kString || token == Token::kNumber ||
                        token == Token::kTrue || token == Token::kFalse || token == Token::kNull;
    // The text running out is an unfinished document everywhere except before the first token,
    // where it counts as a missing "{".
    if (token == Token::kEnd && state_ != kExpectDocument) {
        return state_ == kComplete ? kJsonOk : kJsonIncomplete;
    }
    switch (state_) {
        case kExpectDocument:
            if (token == Token::kBeginObject) {
                state_ = kCreateObject;
                return 0;
            }
            return token == Token::kLexError ? kJsonSyntaxError : Defaulted();

        case kAfterOpenBrace:
            if (token == Token::kString) return AddKey();
            if (token == Token::kEndObject) return CloseContainer();
            return Defaulted();

        case kAfterMember:
            if (token == Token::kComma) {
                state_ = kAfterMemberComma;
                return 0;
            }
            if (token == Token::kEndObject) return CloseContainer();
            return Defaulted();

        case kAfterMemberComma:
            if (token == Token::kString) return AddKey();
            return token == Token::kLexError ? kJsonBadToken : Defaulted();

        case kAfterKey:
            if (token == Token::kColon) {
                state_ = kAfterColon;
                return 0;
            }
            return Defaulted();

        case kAfterColon:
        case kBeforeElement:
            if (scalar) {
                return AddValue(token, state_ == kAfterColon ? kAfterMember : kAfterElement);
            }
            if (token == Token::kBeginObject) {
                state_ = kCreateObject;
                return 0;
            }
            if (token == Token::kBeginArray) {
                state_ = kCreateArray;
                return 0;
            }
            if (token == Token::kEndArray && state_ == kBeforeElement) return CloseContainer();
            if (token == Token::kLexError) return kJsonBadToken;
            // A token buffer failure is reported as such only for a member value.
            if (token == Token::kNoMemory && state_ == kAfterColon) return kJsonOutOfMemory;
            return Defaulted();

        case kAfterElement:
            if (token == Token::kComma) {
                state_ = kBeforeElement;
                return 0;
            }
            if (token == Token::kEndArray) return CloseContainer();
            return Defaulted();

        case kComplete:
            return token == Token::kNoMemory ? kJsonOutOfMemory : kJsonSyntaxError;

        default:
            return Defaulted();
    }
}

int Parser::CreateContainer(std::int32_t type) {
    JsonNode* node = NewNode(type);
    if (node == nullptr) return kJsonOutOfMemory;
    if (current_ == nullptr) {
        root_ = node;
    } else if (!Attach(current_, node)) {
        JsonFreeTree(&node);
        return kJsonAttachFailed;
    }
    current_ = node;
    state_ = type == kJsonObject ? kAfterOpenBrace : kBeforeElement;
    return 0;
}

// Adds a scalar to the current key or array. After a member value the object is current again.
int Parser::AddValue(Token token, ParseState nextState) {
    std::int32_t type = kJsonNull;
    switch (token) {
        case Token::kString:
            type = kJsonString;
            break;
        case Token::kNumber:
            type = kJsonNumber;
            break;
        case Token::kTrue:
            type = kJsonTrue;
            break;
        case Token::kFalse:
            type = kJsonFalse;
            break;
        default:
            break;
    }
    JsonNode* node = NewNode(type);
    if (node == nullptr) return kJsonOutOfMemory;
    if (type == kJsonString || type == kJsonNumber) {
        node->text = json_detail::TokenBufferRelease(lexer_.buffer);
    }
    if (!Attach(current_, node)) {
        JsonFreeTree(&node);
        return kJsonAttachFailed;
    }
    if (nextState == kAfterMember) current_ = current_->parent;
    state_ = nextState;
    return 0;
}

int Parser::AddKey() {
    JsonNode* key = NewNode(kJsonString);
    if (key == nullptr) return kJsonOutOfMemory;
    key->text = json_detail::TokenBufferRelease(lexer_.buffer);
    if (!Attach(current_, key)) {
        JsonFreeTree(&key);
        return kJsonAttachFailed;
    }
    current_ = key;
    state_ = kAfterKey;
    return 0;
}

// The current object or array is finished; its parent decides what comes next.
int Parser::CloseContainer() {
    JsonNode* parent = current_->parent;
    current_ = parent;
    if (parent == nullptr) {
        state_ = kComplete;
        return 0;
    }
    if (parent->type == kJsonString) {
        if (parent->parent == nullptr || parent->parent->type != kJsonObject) return kJsonBadClose;
        current_ = parent->parent;
        state_ = kAfterMember;
        return 0;
    }
    if (parent->type == kJsonArray) {
        state_ = kAfterElement;
        return 0;
    }
    return kJsonBadClose;
}

// Writes the UTF-8 form of `codePoint` (at most 0x10FFFF) and returns the end of the output.
char* PutUtf8(char* out, unsigned long codePoint) {
    if (codePoint < 0x80) {
        *out++ = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return out;
}

// Reads "\uXXXX" at `in`. Stops at the first character that does not fit, so it never looks
// beyond a terminating NUL.
bool ReadUnicodeEscape(const char* in, unsigned long* value) {
    if (in[0] != '\\' || in[1] != 'u') return false;
    unsigned long v = 0;
    for (int i = 2; i < 6; ++i) {
        const char c = in[i];
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        v = v * 16 + static_cast<unsigned long>(digit);
    }
    *value = v;
    return true;
}

char SimpleEscape(char c) {
    switch (c) {
        case '"':
        case '/':
        case '\\':
            return c;
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        default:
            return '\0';
    }
}

}  // namespace

int JsonParse(const char* text, JsonNode** root) {
    if (text == nullptr) return kJsonIncomplete;
    Parser parser(text);
    const int code = parser.Run();
    if (code == kJsonOk && root != nullptr) *root = parser.TakeRoot();
    return code;
}

JsonNode* JsonFindMember(JsonNode* object, const char* key) {
    if (object == nullptr || object->type != kJsonObject || key == nullptr) return nullptr;
    for (JsonNode* member = object->firstChild; member != nullptr; member = member->next) {
        if (member->text != nullptr && std::strcmp(member->text, key) == 0) return member;
    }
    return nullptr;
}

const JsonNode* JsonFindMember(const JsonNode* object, const char* key) {
    return JsonFindMember(const_cast<JsonNode*>(object), key);
}

// Surrogates: a high surrogate followed by a low-surrogate escape makes one four-byte
// character. A high surrogate without such a partner becomes U+FFFD and only its own six
// characters are consumed, so whatever follows decodes normally. A lone low surrogate is
// written as its three-byte form. A backslash that starts no valid escape is copied as is.
char* JsonDecodeString(const char* raw) {
    if (raw == nullptr) return nullptr;
    // Every escape decodes to no more bytes than it occupies.
    char* decoded = static_cast<char*>(std::malloc(std::strlen(raw) + 1));
    if (decoded == nullptr) return nullptr;

    char* out = decoded;
    const char* in = raw;
    while (*in != '\0') {
        if (*in != '\\') {
            *out++ = *in++;
            continue;
        }
        unsigned long value = 0;
        if (ReadUnicodeEscape(in, &value)) {
            in += 6;
            unsigned long low = 0;
            if (value < 0xD800 || value > 0xDBFF) {
                out = PutUtf8(out, value);
            } else if (ReadUnicodeEscape(in, &low) && low >= 0xDC00 && low <= 0xDFFF) {
                out = PutUtf8(out, 0x10000 + (value - 0xD800) * 1024 + (low - 0xDC00));
                in += 6;
            } else {
                out = PutUtf8(out, 0xFFFD);
            }
        } else if (const char c = SimpleEscape(in[1]); c != '\0') {
            *out++ = c;
            in += 2;
        } else {
            *out++ = *in++;
        }
    }
    *out = '\0';
    return decoded;
}

// Iterative so that deeply nested trees cannot exhaust the stack.
void JsonFreeTree(JsonNode** node) {
    if (node == nullptr || *node == nullptr) return;
    JsonNode* top = *node;
    *node = nullptr;

    if (JsonNode* parent = top->parent) {
        if (parent->firstChild == top) parent->firstChild = top->next;
        if (parent->lastChild == top) parent->lastChild = top->previous;
    }
    if (top->previous != nullptr) top->previous->next = top->next;
    if (top->next != nullptr) top->next->previous = top->previous;
    top->parent = top->previous = top->next = nullptr;

    // Post-order walk that always removes the first child of the node it climbs back to.
    JsonNode* cur = top;
    while (cur != nullptr) {
        if (cur->firstChild != nullptr) {
            cur = cur->firstChild;
            continue;
        }
        JsonNode* parent = cur->parent;
        JsonNode* next = cur->next;
        if (parent != nullptr) {
            parent->firstChild = next;
            if (next == nullptr) parent->lastChild = nullptr;
        }
        if (next != nullptr) next->previous = nullptr;
        std::free(cur->text);
        delete cur;
        cur = next != nullptr ? next : parent;
    }
}
