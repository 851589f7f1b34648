#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "commands/keyboard_input.h"
#include "fakes/recording_input.h"

using testing::ElementsAre;

namespace {

std::vector<std::string> Type(const char* parameter) {
    RecordingInput input;
    KeyboardCommand command;
    if (ParseKeyboardParameter(parameter, &command)) SendKeyboardInput(input, command);
    return input.Input();
}

}  // namespace

TEST(Keyboard, NamedKeysAreHeldAroundTheText) {
    EXPECT_THAT(Type("kc=RETURN,"), ElementsAre("key 0x0D down", "key 0x0D up"));
    EXPECT_THAT(Type("kc=CTRL,kc=SHIFT,ks=x"),
                ElementsAre("key 0x11 down", "key 0x10 down", "char U+0078 down",
                            "char U+0078 up", "key 0x10 up", "key 0x11 up"));
    EXPECT_THAT(Type("kc=CTRL,kc=FOO,ks=a"),
                ElementsAre("key 0x11 down", "char U+0061 down", "char U+0061 up", "key 0x11 up"));
    // Without a trailing comma the parameter ends with the name.
    EXPECT_THAT(Type("kc=HOME"), ElementsAre("key 0x24 down", "key 0x24 up"));
    EXPECT_THAT(Type("kc=ctrl,ks=a"), ElementsAre("char U+0061 down", "char U+0061 up"));
    // Something that is neither kc= nor ks= ends parsing; collected keys still count.
    EXPECT_THAT(Type("kc=ESC,junk,ks=a"), ElementsAre("key 0x1B down", "key 0x1B up"));
}

TEST(Keyboard, BadKeyNamesDropTheWholeCommand) {
    EXPECT_TRUE(Type("kc=,ks=a").empty());
    EXPECT_TRUE(Type("kc=CTRL,kc=ABCDEFGHIJKLMNOPQRST,ks=a").empty());  // 20 characters
    EXPECT_EQ(Type("kc=CTRL,kc=ABCDEFGHIJKLMNOPQRS,ks=a").size(), 4u);   // 19 is just a miss
}

TEST(Keyboard, AtMostTwentyKeys) {
    std::string parameter;
    for (int i = 0; i < 21; ++i) parameter += "kc=TAB,";
    KeyboardCommand command;
    ASSERT_TRUE(ParseKeyboardParameter(parameter.c_str(), &command));
    EXPECT_EQ(command.keys.size(), 20u);
}

TEST(Keyboard, TextAndTheCarriageReturnRule) {
    EXPECT_THAT(Type("ks=Hi\r"),
                ElementsAre("char U+0048 down", "char U+0048 up", "char U+0069 down",
                            "char U+0069 up", "char U+000A down", "char U+000A up"));
    EXPECT_TRUE(Type("ks=").empty());
    EXPECT_THAT(Type("ks=\r"), ElementsAre("char U+000A down", "char U+000A up"));
    // UTF-8 beyond ASCII becomes UTF-16 units, a surrogate pair as its two units.
    EXPECT_THAT(Type("ks=\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
                ElementsAre("char U+00E9 down", "char U+00E9 up", "char U+20AC down",
                            "char U+20AC up", "char U+D83D down", "char U+D83D up",
                            "char U+DE00 down", "char U+DE00 up"));
}

// The injector gets the whole command at once: that is what keeps a surrogate pair's halves
// together when several phones type at the same time.
TEST(Keyboard, OneCommandIsOneCallToTheInjector) {
    RecordingInput input;
    KeyboardCommand command;
    ASSERT_TRUE(ParseKeyboardParameter("kc=SHIFT,ks=\xF0\x9F\x98\x80x", &command));
    SendKeyboardInput(input, command);
    EXPECT_THAT(input.Events(), ElementsAre("keys 8", "key 0x10 down", "char U+D83D down",
                                            "char U+D83D up", "char U+DE00 down", "char U+DE00 up",
                                            "char U+0078 down", "char U+0078 up", "key 0x10 up"));
}

TEST(Keyboard, OverlongTextIsCutAt253UnitsWithoutSplittingAPair) {
    KeyboardCommand command;
    std::string text = "ks=" + std::string(300, 'a') + "\r";
    ASSERT_TRUE(ParseKeyboardParameter(text.c_str(), &command));
    ASSERT_EQ(command.text.size(), 254u);
    EXPECT_EQ(command.text.back(), u'\n');

    std::string pairs = "ks=" + std::string(252, 'b') + "\xF0\x9F\x98\x80";
    ASSERT_TRUE(ParseKeyboardParameter(pairs.c_str(), &command));
    EXPECT_EQ(command.text, std::u16string(252, u'b'));
}
