// libFuzzer target: parse, look up, decode and free arbitrary input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/json.h"

namespace {

// Checks the links of every node and decodes every string, without recursion.
void Walk(JsonNode* root) {
    JsonNode* node = root;
    while (node != nullptr) {
        if (node->type == kJsonString || node->type == kJsonNumber) {
            if (node->text == nullptr) std::abort();
        } else if (node->text != nullptr) {
            std::abort();
        }
        if (node->type == kJsonString) {
            char* decoded = JsonDecodeString(node->text);
            if (decoded == nullptr || std::strlen(decoded) > std::strlen(node->text)) std::abort();
            std::free(decoded);
        }
        if (node->type == kJsonObject) {
            for (JsonNode* key = node->firstChild; key != nullptr; key = key->next) {
                if (key->type != kJsonString || key->firstChild != key->lastChild) std::abort();
            }
        }
        if (node->firstChild != nullptr) {
            if (node->firstChild->parent != node || node->firstChild->previous != nullptr) {
                std::abort();
            }
            node = node->firstChild;
            continue;
        }
        while (node != nullptr && node->next == nullptr) {
            if (node->parent != nullptr && node->parent->lastChild != node) std::abort();
            node = node->parent;
        }
        if (node != nullptr) {
            if (node->next->previous != node || node->next->parent != node->parent) std::abort();
            node = node->next;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');

    JsonNode* root = nullptr;
    const int code = JsonParse(text.data(), &root);
    if (code != kJsonOk) {
        if (root != nullptr) std::abort();
        return 0;
    }
    if (root == nullptr || root->type != kJsonObject || root->parent != nullptr) std::abort();
    Walk(root);

    static const char* const kKeys[] = {"", "a", "status", "version", "url", "\\u0041"};
    for (const char* key : kKeys) {
        const JsonNode* member = JsonFindMember(static_cast<const JsonNode*>(root), key);
        if (member != nullptr && std::strcmp(member->text, key) != 0) std::abort();
    }

    // Looking up the last key finds the first key with the same text.
    if (const JsonNode* last = root->lastChild) {
        const JsonNode* found = JsonFindMember(root, last->text);
        if (found == nullptr || std::strcmp(found->text, last->text) != 0) std::abort();
        for (const JsonNode* key = root->firstChild; key != found; key = key->next) {
            if (key == nullptr || std::strcmp(key->text, last->text) == 0) std::abort();
        }
    }

    // Free one member's subtree first, then check the rest of the tree is still sound.
    JsonNode* member = root->firstChild;
    if (member != nullptr && member->next != nullptr) member = member->next;
    if (member != nullptr) {
        JsonFreeTree(&member);
        if (member != nullptr) std::abort();
        Walk(root);
    }
    JsonFreeTree(&root);
    if (root != nullptr) std::abort();
    return 0;
}
