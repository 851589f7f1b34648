#include "support/json.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Result of one parse: code, tree (owned) and whatever went to stderr.
struct Parsed {
    int code = 0;
    JsonNode* root = nullptr;
    std::string diagnostic;

    Parsed() = default;
    Parsed(const Parsed&) = delete;
    Parsed& operator=(const Parsed&) = delete;
    ~Parsed() { JsonFreeTree(&root); }
};

void Parse(const std::string& text, Parsed* out) {
    testing::internal::CaptureStderr();
    out->code = JsonParse(text.c_str(), &out->root);
    out->diagnostic = testing::internal::GetCapturedStderr();
}

// Value of member `key` of the root, or null.
const JsonNode* Value(const Parsed& parsed, const char* key) {
    const JsonNode* member = JsonFindMember(static_cast<const JsonNode*>(parsed.root), key);
    return member != nullptr ? member->firstChild : nullptr;
}

std::vector<const JsonNode*> Children(const JsonNode* node) {
    std::vector<const JsonNode*> children;
    for (const JsonNode* c = node->firstChild; c != nullptr; c = c->next) children.push_back(c);
    return children;
}

std::string Decode(const char* raw) {
    char* decoded = JsonDecodeString(raw);
    std::string result = decoded != nullptr ? decoded : "<null>";
    std::free(decoded);
    return result;
}

TEST(JsonParseTest, CompleteObjectsSucceed) {
    struct Case {
        const char* text;
        size_t members;
    } cases[] = {{"{}", 0}, {"{ }\n \n  ", 0}, {"\r\n{\"a\":{},\"b\":[]}\t", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Parsed p;
        Parse(c.text, &p);
        ASSERT_EQ(p.code, kJsonOk);
        ASSERT_NE(p.root, nullptr);
        EXPECT_EQ(p.root->type, kJsonObject);
        EXPECT_EQ(p.root->parent, nullptr);
        EXPECT_EQ(Children(p.root).size(), c.members);
        EXPECT_EQ(p.diagnostic, "");
    }
}

TEST(JsonParseTest, TextEndingEarlyIsIncomplete) {
    for (const char* text : {"", "{", "{\"a\":\"abc", "{\"a\"", "{\"a\":", "{\"a\":12",
                             "{\"a\":[1,", "{\"a\":tr", "{\"a\":\"\\u00"}) {
        SCOPED_TRACE(text);
        Parsed p;
        JsonNode sentinel{};
        p.root = &sentinel;
        Parse(text, &p);
        EXPECT_EQ(p.code, kJsonIncomplete);
        EXPECT_EQ(p.root, &sentinel);  // nothing stored on failure
        p.root = nullptr;
        EXPECT_EQ(p.diagnostic, "");
    }
}

TEST(JsonParseTest, GrammarErrorsReportStateAndLine) {
    struct Case {
        const char* text;
        const char* diagnostic;
    } cases[] = {
        {"[1,2]", "JSON: state 0: defaulted at line 1\n"},
        {"{\"a\":1,\r\n}", "JSON: state 4: defaulted at line 3\n"},  // CR LF counts twice
        {"{\"a\":1\n\nx}",
         "JSON: state 3: defaulted at line 2\n"},  // LF ending a number is not counted
        {"{\"a\" 1}", "JSON: state 5: defaulted at line 1\n"},
        {"{\"a\":1 \"b\":2}", "JSON: state 3: defaulted at line 1\n"},
        {"{\"a\":[,]}", "JSON: state 8: defaulted at line 1\n"},
        {"{\"a\":[1 2]}", "JSON: state 9: defaulted at line 1\n"},
        {"{\"a\":[1}", "JSON: state 9: defaulted at line 1\n"},
        {"{\"a\":]}", "JSON: state 6: defaulted at line 1\n"},
        {"{1:2}", "JSON: state 2: defaulted at line 1\n"},
        {"{x}", "JSON: state 2: defaulted at line 1\n"},
        {"  ", "JSON: state 0: defaulted at line 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Parsed p;
        Parse(c.text, &p);
        EXPECT_EQ(p.code, kJsonSyntaxError);
        EXPECT_EQ(p.root, nullptr);
        EXPECT_EQ(p.diagnostic, c.diagnostic);
    }
}

// `text` is refused with `code`, without a tree or a diagnostic.
void ExpectRefused(const char* text, int code) {
    SCOPED_TRACE(text);
    Parsed p;
    Parse(text, &p);
    EXPECT_EQ(p.code, code);
    EXPECT_EQ(p.root, nullptr);
    EXPECT_EQ(p.diagnostic, "");
}

TEST(JsonParseTest, SyntaxErrorsWithoutDiagnostic) {
    for (const char* text : {"{}x", "{} }", "{}{}", "x{}"}) ExpectRefused(text, kJsonSyntaxError);
}

TEST(JsonParseTest, MalformedValueOrKeyIsBadToken) {
    for (const char* text :
         {"{\"a\":01}", "{\"a\":-01}", "{\"a\":-}", "{\"a\":1.}", "{\"a\":1e}", "{\"a\":1x}",
          "{\"a\":\"x\ty\"}", "{\"a\":\"\\x\"}", "{\"a\":\"\\u12g4\"}", "{\"a\":trux}",
          "{\"a\":[nul]}", "{\"a\":1,b:2}"}) {
        ExpectRefused(text, kJsonBadToken);
    }
}

TEST(JsonParseTest, ScalarsKeepTheirSourceText) {
    Parsed p;
    Parse(
        "{\"n\":1e+5,\"m\":-0.25E-3,\"z\":0,\"s\":\"tab\\t \\u00e9 \xc3\xa9\",\"e\":\"\","
        "\"t\":true,\"f\":false,\"x\":null}",
        &p);
    ASSERT_EQ(p.code, kJsonOk);
    EXPECT_EQ(Value(p, "n")->type, kJsonNumber);
    EXPECT_STREQ(Value(p, "n")->text, "1e+5");
    EXPECT_STREQ(Value(p, "m")->text, "-0.25E-3");
    EXPECT_STREQ(Value(p, "z")->text, "0");
    EXPECT_EQ(Value(p, "s")->type, kJsonString);
    EXPECT_STREQ(Value(p, "s")->text, "tab\\t \\u00e9 \xc3\xa9");
    EXPECT_STREQ(Value(p, "e")->text, "");
    for (auto [key, type] : {std::pair{"t", kJsonTrue}, {"f", kJsonFalse}, {"x", kJsonNull}}) {
        EXPECT_EQ(Value(p, key)->type, type);
        EXPECT_EQ(Value(p, key)->text, nullptr);
        EXPECT_EQ(Value(p, key)->firstChild, nullptr);
    }
}

TEST(JsonParseTest, TreeShapeKeepsOrderAndDuplicates) {
    Parsed p;
    Parse("{\"status\":1,\"list\":[1,\"two\",[],{\"k\":null},],\"status\":2}", &p);
    ASSERT_EQ(p.code, kJsonOk);
    std::vector<const JsonNode*> keys = Children(p.root);
    ASSERT_EQ(keys.size(), 3u);
    for (const JsonNode* key : keys) {
        EXPECT_EQ(key->type, kJsonString);
        EXPECT_EQ(key->parent, p.root);
        ASSERT_NE(key->firstChild, nullptr);
        EXPECT_EQ(key->firstChild, key->lastChild);
        EXPECT_EQ(key->firstChild->parent, key);
    }
    EXPECT_EQ(keys[1]->previous, keys[0]);
    EXPECT_EQ(p.root->lastChild, keys[2]);

    // The first of two equal keys wins.
    EXPECT_EQ(JsonFindMember(p.root, "status"), keys[0]);
    EXPECT_STREQ(Value(p, "status")->text, "1");

    // The trailing comma adds no element.
    std::vector<const JsonNode*> elements = Children(Value(p, "list"));
    ASSERT_EQ(elements.size(), 4u);
    EXPECT_STREQ(elements[0]->text, "1");
    EXPECT_STREQ(elements[1]->text, "two");
    EXPECT_EQ(elements[2]->type, kJsonArray);
    EXPECT_EQ(elements[3]->type, kJsonObject);
    EXPECT_EQ(elements[3]->firstChild->firstChild->type, kJsonNull);
}

TEST(JsonFindMemberTest, MatchesRawKeyBytesExactly) {
    Parsed p;
    Parse("{\"Status\":1,\"caf\\u00e9\":2}", &p);
    ASSERT_EQ(p.code, kJsonOk);
    EXPECT_EQ(JsonFindMember(p.root, "status"), nullptr);
    EXPECT_NE(JsonFindMember(p.root, "Status"), nullptr);
    EXPECT_EQ(JsonFindMember(p.root, "caf\xc3\xa9"), nullptr);
    EXPECT_NE(JsonFindMember(p.root, "caf\\u00e9"), nullptr);
    EXPECT_EQ(JsonFindMember(p.root, "Statu"), nullptr);
}

TEST(JsonDecodeStringTest, DecodesEscapes) {
    EXPECT_EQ(Decode("\\u00e9"), "\xc3\xa9");
    EXPECT_EQ(Decode("\\u0041\\u20AC"), "A\xe2\x82\xac");
    EXPECT_EQ(Decode("\\ud83D\\uDE00!"), "\xf0\x9f\x98\x80!");
    EXPECT_EQ(Decode("a\\/b\\\\c\\\"d"), "a/b\\c\"d");
    EXPECT_EQ(Decode("\\b\\f\\n\\r\\t"), "\b\f\n\r\t");
    EXPECT_EQ(Decode("\xe4\xb8\xad"), "\xe4\xb8\xad");
    EXPECT_EQ(Decode("ab\\u0000cd"), "ab");
}

TEST(JsonDecodeStringTest, UnpairedSurrogates) {
    // A high surrogate without a low partner becomes U+FFFD; what follows decodes normally.
    EXPECT_EQ(Decode("\\uD83D"), "\xef\xbf\xbd");
    EXPECT_EQ(Decode("\\uD83Dx"), "\xef\xbf\xbdx");
    EXPECT_EQ(Decode("\\uD83D\\u0041"),
              "\xef\xbf\xbd"
              "A");
    EXPECT_EQ(Decode("\\uD83D\\uD83D\\uDE00"), "\xef\xbf\xbd\xf0\x9f\x98\x80");
    EXPECT_EQ(Decode("\\uD83D\\uDE0"), "\xef\xbf\xbd\\uDE0");
    // A lone low surrogate keeps its three-byte form.
    EXPECT_EQ(Decode("\\uDE00"), "\xed\xb8\x80");
    // Escapes cut short by the end of the text are copied, not read past.
    EXPECT_EQ(Decode("\\"), "\\");
    EXPECT_EQ(Decode("\\u12"), "\\u12");
}

TEST(JsonFreeTreeTest, MemberSubtreeThenRoot) {
    Parsed p;
    Parse("{\"a\":1,\"b\":{\"c\":[1,[2]]},\"d\":3}", &p);
    ASSERT_EQ(p.code, kJsonOk);
    JsonNode* b = JsonFindMember(p.root, "b");
    JsonFreeTree(&b);
    EXPECT_EQ(b, nullptr);

    std::vector<const JsonNode*> keys = Children(p.root);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_STREQ(keys[0]->text, "a");
    EXPECT_STREQ(keys[1]->text, "d");
    EXPECT_EQ(keys[1]->previous, keys[0]);
    EXPECT_EQ(JsonFindMember(p.root, "b"), nullptr);

    JsonNode* a = JsonFindMember(p.root, "a");
    JsonNode* d = JsonFindMember(p.root, "d");
    JsonFreeTree(&a);
    JsonFreeTree(&d);
    EXPECT_EQ(p.root->firstChild, nullptr);
    EXPECT_EQ(p.root->lastChild, nullptr);
    JsonFreeTree(&p.root);  // the sanitizer build checks for leaks and double frees
    EXPECT_EQ(p.root, nullptr);
}

}  // namespace
