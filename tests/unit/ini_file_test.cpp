#include <gtest/gtest.h>

#include <string>

#include "support/ini_file.h"

namespace {

// A file as people leave them: comments, blank lines, odd spacing, two sections.
const std::string kHandWritten =
    "; written by hand\r\n"
    "\r\n"
    "[Display]\r\n"
    "  Theme = dark  \r\n"
    "; keep this\r\n"
    "\r\n"
    "[ CorvaneServer ]\r\n"
    "PASSWD\t=  \"se cret\"  \r\n"
    "PcName=lab-01\r\n"
    "bare line\r\n"
    "\r\n"
    "[Tail]\r\n"
    "z=26\r\n";

}  // namespace

TEST(IniFileRead, MatchesNamesWithoutCaseAndTrimsBlanksAndOneQuotePair) {
    IniFile ini(kHandWritten);
    EXPECT_EQ(ini.Get("corvaneserver", "passwd"), "se cret");
    EXPECT_EQ(ini.Get("CorvaneServer", "pcname"), "lab-01");
    EXPECT_EQ(ini.Get("DISPLAY", "theme"), "dark");
    EXPECT_EQ(ini.Get("CorvaneServer", "bare line"), "");
    EXPECT_EQ(ini.Get("CorvaneServer", "Theme"), std::nullopt);  // lives in another section
    EXPECT_EQ(ini.Get("Missing", "z"), std::nullopt);
    EXPECT_EQ(ini.Get("Tail", "z"), "26");

    IniFile quotes("[s]\na='x'\nb=\"x'\nc=\"\nd=\"\"\ne= x = y \n");
    EXPECT_EQ(quotes.Get("s", "a"), "x");
    EXPECT_EQ(quotes.Get("s", "b"), "\"x'");
    EXPECT_EQ(quotes.Get("s", "c"), "\"");
    EXPECT_EQ(quotes.Get("s", "d"), "");
    EXPECT_EQ(quotes.Get("s", "e"), "x = y");
}

TEST(IniFileRead, HandlesLineEndsByteOrderMarkAndRepeatedNames) {
    IniFile mixed("\xEF\xBB\xBF[S]\r\na=1\nb=2\r\nc=3");
    EXPECT_EQ(mixed.Get("S", "a"), "1");
    EXPECT_EQ(mixed.Get("S", "b"), "2");
    EXPECT_EQ(mixed.Get("S", "c"), "3");
    EXPECT_EQ(IniFile("").Get("S", "a"), std::nullopt);
    EXPECT_EQ(IniFile("[S]").Get("S", "a"), std::nullopt);

    // CRs before the LF, and a CR alone, end a line: no value keeps a CR.
    IniFile crs("[S]\r\r\nAutoStart=yes\r\r\nPasswd=735\r\r\nold=mac\rnext=1\r");
    EXPECT_EQ(crs.Get("S", "AutoStart"), "yes");
    EXPECT_EQ(crs.Get("S", "Passwd"), "735");
    EXPECT_EQ(crs.Get("S", "old"), "mac");
    EXPECT_EQ(crs.Get("S", "next"), "1");

    // A section's name ends at the first "]"; the rest of the header line does not count.
    IniFile headers("[A]B]\nx=1\n[C] ; note\ny=2\n");
    EXPECT_EQ(headers.Get("A", "x"), "1");
    EXPECT_EQ(headers.Get("A]B", "x"), std::nullopt);
    EXPECT_EQ(headers.Get("C", "y"), "2");

    // Only the first section and first key of a name count; lines before any section none.
    IniFile twice("k=0\n[S]\nk=1\nK=2\n[s]\nk=3\nonly=later\n");
    EXPECT_EQ(twice.Get("s", "k"), "1");
    EXPECT_EQ(twice.Get("S", "only"), std::nullopt);
    EXPECT_EQ(twice.Get("", "k"), std::nullopt);
}

TEST(IniFileWrite, ReplacesAnExistingValueInPlaceAndKeepsEveryOtherByte) {
    IniFile ini(kHandWritten);
    ini.Set("CORVANESERVER", "passwd", "new");
    ini.Set("CorvaneServer", "pcname", "");
    std::string expected = kHandWritten;
    expected.replace(expected.find("PASSWD\t=  \"se cret\"  "), 21, "PASSWD=new");
    expected.replace(expected.find("PcName=lab-01"), 13, "PcName=");
    EXPECT_EQ(ini.Text(), expected);
    EXPECT_EQ(ini.Get("CorvaneServer", "Passwd"), "new");
    EXPECT_EQ(ini.Get("CorvaneServer", "PcName"), "");
}

TEST(IniFileWrite, AddsANewKeyAfterTheLastLineOfItsSection) {
    IniFile ini(kHandWritten);
    ini.Set("CorvaneServer", "AutoStart", "yes");
    ini.Set("Display", "Size", "12");
    std::string expected = kHandWritten;
    expected.insert(expected.find("\r\n\r\n[Tail]") + 2, "AutoStart=yes\r\n");
    // The comment closing [Display] counts as its last line; the blank line stays a separator.
    expected.insert(expected.find("; keep this\r\n") + 13, "Size=12\r\n");
    EXPECT_EQ(ini.Text(), expected);
    EXPECT_EQ(ini.Get("corvaneserver", "autostart"), "yes");

    IniFile emptySection("[A]\n\n[B]\nb=1\n");
    emptySection.Set("a", "x", "1");
    EXPECT_EQ(emptySection.Text(), "[A]\nx=1\n\n[B]\nb=1\n");
}

TEST(IniFileWrite, AddsANewSectionAtTheEndInTheFilesOwnLineEnds) {
    IniFile crlf("[Other]\r\nx=1");  // no line end after the last line
    crlf.Set("CorvaneServer", "ShowMain", "yes");
    EXPECT_EQ(crlf.Text(), "[Other]\r\nx=1\r\n[CorvaneServer]\r\nShowMain=yes\r\n");

    IniFile lf("; only a comment\n");
    lf.Set("CorvaneServer", "Passwd", "735");
    EXPECT_EQ(lf.Text(), "; only a comment\n[CorvaneServer]\nPasswd=735\n");

    IniFile empty;
    empty.Set("CorvaneServer", "Passwd", "735");
    empty.Set("CorvaneServer", "PcName", "lab");
    EXPECT_EQ(empty.Text(), "[CorvaneServer]\nPasswd=735\nPcName=lab\n");
}

TEST(IniFileWrite, EditsKeepLoneAndDoubledCarriageReturns) {
    const std::string text = "[S]\r\r\na=1\r\r\nb=2\rc=3\r";
    IniFile ini(text);
    EXPECT_EQ(ini.Text(), text);
    ini.Set("S", "b", "20");
    ini.Set("S", "d", "4");
    EXPECT_EQ(ini.Text(), "[S]\r\r\na=1\r\r\nb=20\rc=3\rd=4\r\r\n");
    EXPECT_EQ(ini.Get("S", "c"), "3");
    EXPECT_EQ(ini.Get("S", "d"), "4");
}

TEST(IniFileWrite, QuotedValuesReadBackExactly) {
    // Only values that reading would change get quotes, so files keep their usual look.
    for (const char* plain : {"735", "Lab PC", "a \"b\" c", "\"half", "it's'", "\"", ""}) {
        EXPECT_EQ(QuoteIniValue(plain), plain);
    }
    EXPECT_EQ(QuoteIniValue("  pass word  "), "\"  pass word  \"");
    EXPECT_EQ(QuoteIniValue("\"quoted\""), "\"\"quoted\"\"");
    for (const std::string value : {"  pass word  ", "\"quoted\"", "'single'", "\"\"", "''", "\tx",
                                    "x\x0b", "\"a'", " \"", "\x7f", "plain", "\"half", ""}) {
        IniFile ini;
        ini.Set("S", "k", QuoteIniValue(value));
        EXPECT_EQ(ini.Get("S", "k"), value) << ini.Text();
    }
    // Only the first line of a value can be stored.
    EXPECT_EQ(QuoteIniValue(" a\nb "), "\" a\"");
}

TEST(IniFileWrite, AValueCannotAddLinesOfItsOwn) {
    IniFile ini("[S]\na=1\n");
    ini.Set("S", "a", "x\r\n[Evil]\r\nb=2");
    ini.Set("S", "c", "y\nz");
    EXPECT_EQ(ini.Text(), "[S]\na=x\nc=y\n");
    EXPECT_EQ(ini.Get("Evil", "b"), std::nullopt);
}
