// Small JSON reader for the update service's reply.
//
// The document must be an object. Strings and numbers keep their source text; string escapes are
// decoded only on request (JsonDecodeString). The functions share no state: any thread may parse,
// and a tree is used by one thread at a time.
#pragma once

#include <cstdint>

// Node types.
inline constexpr std::int32_t kJsonString = 0;  // string values and member keys
inline constexpr std::int32_t kJsonNumber = 1;
inline constexpr std::int32_t kJsonObject = 2;
inline constexpr std::int32_t kJsonArray = 3;
inline constexpr std::int32_t kJsonTrue = 4;
inline constexpr std::int32_t kJsonFalse = 5;
inline constexpr std::int32_t kJsonNull = 6;

// JsonParse result codes.
inline constexpr int kJsonOk = 1;           // a complete object followed only by whitespace
inline constexpr int kJsonIncomplete = 2;   // the text ended early (also an empty text)
inline constexpr int kJsonSyntaxError = 4;  // a token the grammar does not allow there
inline constexpr int kJsonOutOfMemory = 6;
inline constexpr int kJsonBadToken = 7;       // malformed token where a value or key belongs
inline constexpr int kJsonBadClose = 8;       // closed container with an unusable parent
inline constexpr int kJsonAttachFailed = 10;  // node refused by its parent

// One value, key or container. An object's children are its keys (string nodes) in document
// order, each key having the member's value as its only child; an array's children are its
// elements. Duplicate keys are all kept.
struct JsonNode {
    std::int32_t type;
    // Strings and keys: the characters between the quotes, escapes not decoded. Numbers: the
    // source text as written. Null for other types. Allocated with malloc.
    char* text;
    JsonNode* next;
    JsonNode* previous;
    JsonNode* parent;  // null for the root
    JsonNode* firstChild;
    JsonNode* lastChild;
};

// Parses a NUL-terminated UTF-8 or ASCII text. On kJsonOk stores the root object in *root (the
// caller frees it with JsonFreeTree); on any other code leaves *root untouched. A grammar error
// with no transition is also reported on stderr with the parser state and line.
int JsonParse(const char* text, JsonNode** root);

// First key node of `object` whose raw text equals `key` byte for byte, or null. The member's
// value is the key's firstChild, which the caller checks.
JsonNode* JsonFindMember(JsonNode* object, const char* key);
const JsonNode* JsonFindMember(const JsonNode* object, const char* key);

// Decodes the raw text of a string node into a new NUL-terminated UTF-8 text that the caller
// releases with std::free. Returns null when `raw` is null or memory runs out.
char* JsonDecodeString(const char* raw);

// Frees the subtree at *node, unlinks it from its parent and siblings so the rest of the tree
// stays valid, and sets *node to null. Accepts a null node or *node.
void JsonFreeTree(JsonNode** node);
