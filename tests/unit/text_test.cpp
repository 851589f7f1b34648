#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/text_conversion.h"
#include "support/text.h"

#if defined(_WIN32)
#include <windows.h>

#include "platform/win32/code_page_text.h"
#endif

namespace {

// One sample per UTF-8 length, at the edges of each length and of the code space.
const std::vector<std::pair<std::string, std::u16string>> kValid = {
    {"", u""},
    {"A~\x7F", u"A~\x7F"},
    {"\xC2\x80\xC3\xA9\xDF\xBF", u"\x0080\x00E9\x07FF"},
    {"\xE0\xA0\x80\xE4\xB8\xAD\xE2\x82\xAC\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF",
     u"\x0800\x4E2D\x20AC\xD7FF\xE000\xFFFF"},
    {"\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", u"\xD800\xDC00\xD83D\xDE00\xDBFF\xDFFF"},
};

std::u16string Units(std::initializer_list<char16_t> units) { return std::u16string(units); }

}  // namespace

TEST(Utf8Codec, OwnAndSystemConversionsAgreeOnWellFormedText) {
    for (const auto& [utf8, utf16] : kValid) {
        EXPECT_EQ(DecodeUtf8(utf8), utf16) << utf8;
        EXPECT_EQ(EncodeUtf8(utf16), utf8) << utf8;
        EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << utf8;
        EXPECT_EQ(Utf16ToUtf8(utf16), utf8) << utf8;
    }
}

TEST(Utf8Codec, EachMaximalIllFormedSubsequenceBecomesOneReplacement) {
    const char16_t R = 0xFFFD;
    struct Case {
        std::string in;
        std::u16string out;
    };
    const Case cases[] = {
        // A lead byte with a good prefix cut short counts once, a stray continuation per byte.
        {"a\xF1\x80\x80\xE1\x80\xC2"
         "b\x80"
         "c\x80\xBF"
         "d",
         Units({'a', R, R, R, 'b', R, 'c', R, R, 'd'})},
        {"\xC0\x80\xC1\xBF", Units({R, R, R, R})},                // overlong two-byte forms
        {"\xE0\x80\xAF", Units({R, R, R})},                       // overlong three-byte form
        {"\xF0\x8F\xBF\xBF", Units({R, R, R, R})},                // overlong four-byte form
        {"\xED\xA0\x80\xED\xBF\xBF", Units({R, R, R, R, R, R})},  // encoded surrogates
        {"\xF4\x90\x80\x80", Units({R, R, R, R})},                // past U+10FFFF
        {"\xF5\xFE\xFF", Units({R, R, R})},                       // bytes never used
        {"\xC3(", Units({R, '('})},                               // the breaking byte is kept
        {"x\xE4\xB8", Units({'x', R})},                           // cut short at the very end
        {"\xF0\x9F\x98", Units({R})},
        {std::string("\xC3\0z", 3), Units({R, 0, 'z'})},  // NUL is an ordinary character
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeUtf8(c.in), c.out) << testing::PrintToString(c.in);
}

TEST(Utf8Codec, SystemConversionKeepsTheGoodPartsOfBadInput) {
    // Systems differ in how many U+FFFD one bad sequence yields; all keep the rest intact.
    const std::string bad =
        "a\xC3(b\xE0\x80\xAF"
        "c\xED\xA0\x80"
        "d\xF4\x90\x80\x80"
        "e\xF0\x9F\x98";
    std::u16string decoded = Utf8ToUtf16(bad);
    std::u16string kept;
    for (char16_t unit : decoded) {
        if (unit != 0xFFFD) kept += unit;
    }
    EXPECT_EQ(kept, u"a(bcde");
    EXPECT_EQ(decoded.front(), u'a');
    EXPECT_EQ(decoded[1], 0xFFFD);
    EXPECT_EQ(decoded.back(), 0xFFFD);
}

TEST(Utf8Codec, UnpairedSurrogatesEncodeAsReplacement) {
    const std::string R = "\xEF\xBF\xBD";
    struct Case {
        std::u16string in;
        std::string out;
    };
    const Case cases[] = {
        {Units({'a', 0xD800}), "a" + R},                            // high surrogate at the end
        {Units({0xDC00, 'b'}), R + "b"},                            // low surrogate alone
        {Units({0xD83D, 'c', 0xDE00}), R + "c" + R},                // pair broken by another unit
        {Units({0xDBFF, 0xD800, 0xDC00}), R + "\xF0\x90\x80\x80"},  // high, then a real pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeUtf8(c.in), c.out);
        EXPECT_EQ(Utf16ToUtf8(c.in), c.out);
    }
}

TEST(AnsiText, ConvertsThroughTheSystemCodePage) {
    EXPECT_EQ(AnsiToUtf16("Slide 12"), u"Slide 12");
    EXPECT_EQ(Utf16ToAnsi(u"Slide 12"), "Slide 12");
#if defined(_WIN32)
    // The code page follows the system's locale; check the two that matter here when present.
    if (GetACP() == 1252) {
        EXPECT_EQ(AnsiToUtf16("caf\xE9"), u"caf\x00E9");
        EXPECT_EQ(Utf8ToAnsi("caf\xC3\xA9"), "caf\xE9");
        EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");
    } else if (GetACP() == 936) {
        EXPECT_EQ(AnsiToUtf16("\xB2\xBB\xC4\xDC"), u"\x4E0D\x80FD");
        EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\x8D\xE8\x83\xBD"), "\xB2\xBB\xC4\xDC");
    }
#else
    // Narrow text is UTF-8 here: ANSI and UTF-8 are the same bytes, even when ill-formed.
    const std::string mixed = "caf\xC3\xA9 \xE4\xB8\xAD \xFF";
    EXPECT_EQ(AnsiToUtf8(mixed), mixed);
    EXPECT_EQ(Utf8ToAnsi(mixed), mixed);
    EXPECT_EQ(AnsiToUtf16("caf\xC3\xA9"), u"caf\x00E9");
    EXPECT_EQ(Utf16ToAnsi(u"\x4E2D\xD83D\xDE00"), "\xE4\xB8\xAD\xF0\x9F\x98\x80");
#endif
}

TEST(TextCuts, NeverEndInsideACharacter) {
    const std::string u = "\xC3\x9C";             // Ü, two bytes
    const std::string han = "\xE4\xB8\xAD";       // 中, three bytes
    const std::string face = "\xF0\x9F\x98\x80";  // U+1F600, four bytes
    std::string names;
    for (int i = 0; i < 130; ++i) names += u;
    EXPECT_EQ(CutUtf8(names, 259), names.substr(0, 258));  // 129 whole characters
    EXPECT_EQ(CutUtf8(names, 258), names.substr(0, 258));
    EXPECT_EQ(CutUtf8(names, 999), names);
    for (size_t limit = 0; limit <= 8; ++limit) {
        const std::string text = "a" + han + face;  // 8 bytes: ends after 1, 4 and 8
        const size_t kept = limit < 1 ? 0 : limit < 4 ? 1 : limit < 8 ? 4 : 8;
        EXPECT_EQ(CutUtf8(text, limit), text.substr(0, kept)) << limit;
    }
    // Bytes that belong to no character are cut like single bytes.
    EXPECT_EQ(CutUtf8("ab\x80\x80\x80\x80\x80", 5), "ab\x80\x80\x80");
    EXPECT_EQ(CutUtf8("a\xE4\xB8z", 2), "a");  // a character cut short in the text itself

    const std::u16string pairs = u"x\xD83D\xDE00\xD83D\xDE00";
    EXPECT_EQ(CutUtf16(pairs, 2), u"x");
    EXPECT_EQ(CutUtf16(pairs, 3), u"x\xD83D\xDE00");
    EXPECT_EQ(CutUtf16(pairs, 4), u"x\xD83D\xDE00");
    EXPECT_EQ(CutUtf16(u"\xDE00\xDE00", 1), u"\xDE00");  // no pair to keep together

    // Program text: UTF-8 here; a double-byte code page on Chinese Windows.
#if defined(_WIN32)
    const std::string gbk =
        "\xD6\xD0\xCE\xC4"
        "A\xB2\xBB";  // 中文A不
    EXPECT_EQ(CutCodePageText(936, gbk, 3), "\xD6\xD0");
    EXPECT_EQ(CutCodePageText(936, gbk, 5),
              "\xD6\xD0\xCE\xC4"
              "A");
    EXPECT_EQ(CutCodePageText(936, gbk, 6),
              "\xD6\xD0\xCE\xC4"
              "A");
    // A trail byte may have a lead byte's value: 0xD6 0xD6 0xD6 0xD6 is two characters.
    EXPECT_EQ(CutCodePageText(936, "\xD6\xD6\xD6\xD6", 3), "\xD6\xD6");
    EXPECT_EQ(CutCodePageText(1252, "\xDC\xDC\xDC", 2), "\xDC\xDC");
    EXPECT_EQ(CutCodePageText(CP_UTF8, names, 259), names.substr(0, 258));
    const std::string ansi = Utf8ToAnsi(names);
    const std::string cut(CutAnsi(ansi, 259));
    EXPECT_LE(cut.size(), 259u);
    EXPECT_EQ(AnsiToUtf16(cut), AnsiToUtf16(ansi).substr(0, AnsiToUtf16(cut).size()));
#else
    EXPECT_EQ(CutAnsi(names, 259), names.substr(0, 258));
#endif
}

TEST(EscapeControls, ShowsControlBytesAndKeepsEverythingElse) {
    EXPECT_EQ(EscapeControls("\x1b]0;x\x07"), "\\x1b]0;x\\x07");
    EXPECT_EQ(EscapeControls(std::string("a\0b\r\n\t\x7f", 7)), "a\\x00b\\x0d\\x0a\\x09\\x7f");
    // C1 controls in UTF-8 (U+009B is a terminal's one-byte CSI); U+00A0 and on stay.
    EXPECT_EQ(EscapeControls("\xC2\x9B"
                             "2J\xC2\x80\xC2\xA0\xC3\x9C"),
              "\\xc2\\x9b"
              "2J\\xc2\\x80\xC2\xA0\xC3\x9C");
    EXPECT_EQ(EscapeControls("Pixel 7, \\ ~ 会议室 \xC2"), "Pixel 7, \\ ~ 会议室 \xC2");
}
