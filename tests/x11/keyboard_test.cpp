// Keys and text as the focused test window receives them.
#include "x11_fixture.h"

#include <X11/keysym.h>

#include <algorithm>
#include <set>
#include <thread>

#include "wait_until.h"

namespace {

using X11Keyboard = X11Test;

std::vector<std::string> Typed(std::initializer_list<KeySym> syms) {
    std::vector<SeenEvent> events;
    for (KeySym sym : syms) {
        events.push_back(KeyEvent(KeyPress, sym));
        events.push_back(KeyEvent(KeyRelease, sym));
    }
    return Describe(events);
}

void SendVirtualKey(InputInjector& injector, std::uint16_t key, bool up) {
    injector.Key(KeyRecord{key, 0, false, up});
}

// Each UTF-16 unit down then up, in one call, the way keyboard commands send text.
void TypeUnits(InputInjector& injector, const std::u16string& text) {
    std::vector<KeyRecord> records;
    for (char16_t unit : text) {
        records.push_back(KeyRecord{0, static_cast<std::uint16_t>(unit), true, false});
        records.push_back(KeyRecord{0, static_cast<std::uint16_t>(unit), true, true});
    }
    injector.Keys(records);
}

bool RowIsEmpty(const std::vector<KeySym>& map, int minKeycode, int per, unsigned code) {
    for (int i = 0; i < per; ++i) {
        if (map[static_cast<size_t>((static_cast<int>(code) - minKeycode) * per + i)] != NoSymbol)
            return false;
    }
    return true;
}

// The keycode either typed `sym` already (first column) or had no symbols at all.
bool OwnKeyOrSpare(const std::vector<KeySym>& map, int minKeycode, int per, unsigned code,
                   KeySym sym) {
    return map[static_cast<size_t>((static_cast<int>(code) - minKeycode) * per)] == sym ||
           RowIsEmpty(map, minKeycode, per, code);
}

// Characters whose keysyms appear nowhere in `map`, so typing them needs spare keycodes. The
// usual ones may be there: the desktop's own layout, or a run that died before restoring.
std::vector<std::pair<char16_t, KeySym>> Unmapped(const std::vector<KeySym>& map, size_t count) {
    const char16_t candidates[] = {u'\u00e9', u'\u00fc', u'\u20ac', u'\u00df', u'\u00f1',
                                   u'\u00e5', u'\u0107', u'\u0416', u'\u4e2d', u'\u00f8',
                                   u'\u0153', u'\u03a9', u'\u0e01', u'\u05d0', u'\u0634'};
    std::vector<std::pair<char16_t, KeySym>> found;
    for (char16_t unit : candidates) {
        KeySym sym = unit <= 0xFF ? KeySym{unit} : (0x01000000 | KeySym{unit});
        if (std::find(map.begin(), map.end(), sym) == map.end()) found.emplace_back(unit, sym);
        if (found.size() == count) break;
    }
    return found;
}

constexpr KeySym kEuroSign = 0x010020AC;
constexpr KeySym kGrinningFace = 0x0101F600;

}  // namespace

TEST_F(X11Keyboard, NamedKeysPressAndReleaseOnce) {
    const std::pair<std::uint16_t, KeySym> keys[] = {
        {kVkControl, XK_Control_L},
        {kVkShift, XK_Shift_L},
        {kVkMenu, XK_Alt_L},
        {kVkReturn, XK_Return},
        {kVkTab, XK_Tab},
        {kVkBack, XK_BackSpace},
        {kVkEscape, XK_Escape},
        {kVkPrior, XK_Prior},
        {kVkNext, XK_Next},
        {kVkHome, XK_Home},
        {kVkEnd, XK_End},
        {kVkLeft, XK_Left},
        {kVkUp, XK_Up},
        {kVkRight, XK_Right},
        {kVkDown, XK_Down},
    };
    std::vector<std::string> expected;
    for (const auto& [key, sym] : keys) {
        SendVirtualKey(*injector_, key, false);
        SendVirtualKey(*injector_, key, true);
        for (const std::string& event : Typed({sym})) expected.push_back(event);
    }
    SendVirtualKey(*injector_, 0x41, false);  // not one of ours: nothing happens
    SendVirtualKey(*injector_, 0x41, true);
    injector_->Flush();
    EXPECT_EQ(Describe(window_->EventsUntilMarker(*injector_)), expected);
}

// Keys named before the text stay down around it, and the server applies them as modifiers.
TEST_F(X11Keyboard, HeldModifiersSurroundTheText) {
    SendVirtualKey(*injector_, kVkControl, false);
    SendVirtualKey(*injector_, kVkShift, false);
    TypeUnits(*injector_, u"a\u00e9");
    SendVirtualKey(*injector_, kVkShift, true);
    SendVirtualKey(*injector_, kVkControl, true);
    injector_->Flush();
    std::vector<SeenEvent> events = window_->EventsUntilMarker(*injector_);
    EXPECT_EQ(Describe(events),
              Describe({KeyEvent(KeyPress, XK_Control_L), KeyEvent(KeyPress, XK_Shift_L),
                        KeyEvent(KeyPress, XK_a), KeyEvent(KeyRelease, XK_a),
                        KeyEvent(KeyPress, XK_eacute), KeyEvent(KeyRelease, XK_eacute),
                        KeyEvent(KeyRelease, XK_Shift_L), KeyEvent(KeyRelease, XK_Control_L)}));
    ASSERT_EQ(events.size(), 8u);
    for (size_t i : {2, 4}) {
        EXPECT_EQ(events[i].state & (ControlMask | ShiftMask), unsigned{ControlMask | ShiftMask})
            << Describe(events[i]);
    }
}

// Characters the keyboard map has without modifiers use their own key; all others are bound
// to keycodes that had no symbols, one per character, and given back when the injector goes.
TEST_F(X11Keyboard, TypesAnyCharacter) {
    int minKeycode = 0, per = 0;
    std::vector<KeySym> before = window_->KeyboardMap(&minKeycode, &per);
    ASSERT_FALSE(before.empty());
    // a, é, €, U+1F600 as its two surrogates, CR, LF, tab, A (only shifted in the map)
    TypeUnits(*injector_, u"a\u00e9\u20ac\U0001F600\r\n\tA");
    injector_->Flush();
    std::vector<SeenEvent> events = window_->EventsUntilMarker(*injector_);
    EXPECT_EQ(Describe(events), Typed({XK_a, XK_eacute, kEuroSign, kGrinningFace, XK_Return,
                                       XK_Return, XK_Tab, XK_A}));
    ASSERT_EQ(events.size(), 16u);

    EXPECT_EQ(events[0].detail, window_->KeycodeOf(before, XK_a));
    EXPECT_EQ(events[8].detail, window_->KeycodeOf(before, XK_Return));
    EXPECT_EQ(events[12].detail, window_->KeycodeOf(before, XK_Tab));
    std::set<unsigned> spares;
    size_t bound = 0;
    for (size_t i : {2, 4, 6, 14}) {
        EXPECT_TRUE(OwnKeyOrSpare(before, minKeycode, per, events[i].detail, events[i].sym))
            << Describe(events[i]) << " came from keycode " << events[i].detail
            << ", which had other symbols";
        EXPECT_EQ(events[i + 1].detail, events[i].detail) << Describe(events[i + 1]);
        if (RowIsEmpty(before, minKeycode, per, events[i].detail)) {
            ++bound;
            spares.insert(events[i].detail);
        }
    }
    EXPECT_EQ(spares.size(), bound) << "characters bound at the same time share a keycode";

    injector_.reset();
    EXPECT_EQ(window_->KeyboardMap(), before) << "the keyboard map was not given back";
}

// A pair's halves belong to one command: a half at the end of one call never meets a half at
// the start of the next (another phone's, possibly).
TEST_F(X11Keyboard, UnpairedSurrogatesTypeNothing) {
    TypeUnits(*injector_, std::u16string{u'\xDE00'} + u"b" + u'\xD83D' + u"c" + u'\xD83D');
    TypeUnits(*injector_, std::u16string{u'\xD83D', u'\xD83D', u'\xDE00'});
    TypeUnits(*injector_, std::u16string{u'\xD83D'});
    TypeUnits(*injector_, std::u16string{u'\xDE00'});
    // A pair pressed in one call and released in the next: down and up within the first.
    injector_->Keys(std::vector<KeyRecord>{
        {0, 0xD83D, true, false}, {0, 0xD83D, true, true}, {0, 0xDE03, true, false}});
    injector_->Keys(std::vector<KeyRecord>{{0, 0xDE03, true, true}});
    injector_->Flush();
    EXPECT_EQ(Describe(window_->EventsUntilMarker(*injector_)),
              Typed({XK_b, XK_c, kGrinningFace, 0x0101F603}));
    EXPECT_TRUE(KeysDown(window_->display()).empty());
}

// Spare keycodes go back to no symbols once idle for the delay, but not while held down.
TEST_F(X11Keyboard, SpareKeycodesAreRestoredAfterTheDelay) {
    options_.restoreDelay = std::chrono::milliseconds(50);
    MakeInjector();
    int minKeycode = 0, per = 0;
    std::vector<KeySym> before = window_->KeyboardMap(&minKeycode, &per);
    std::vector<std::pair<char16_t, KeySym>> chars = Unmapped(before, 2);
    ASSERT_EQ(chars.size(), 2u);
    // The key stays down for a while below; the server's auto-repeat must not add presses.
    Display* display = window_->display();
    XKeyboardState keyboard{};
    XGetKeyboardControl(display, &keyboard);
    struct RepeatBack {
        Display* display;
        bool on;
        ~RepeatBack() {
            if (on) XAutoRepeatOn(display);
            XSync(display, False);
        }
    } repeatBack{display, keyboard.global_auto_repeat == AutoRepeatModeOn};
    XAutoRepeatOff(display);
    XSync(display, False);

    injector_->Key(KeyRecord{0, chars[0].first, true, false});
    injector_->Flush();
    std::vector<SeenEvent> held = window_->EventsUntilMarker(*injector_);
    ASSERT_EQ(held.size(), 1u);
    unsigned code = held[0].detail;
    EXPECT_TRUE(RowIsEmpty(before, minKeycode, per, code));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // six delays
    int symsPerKeycode = 0;
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(code), 1, &symsPerKeycode);
    ASSERT_NE(syms, nullptr);
    EXPECT_EQ(syms[0], chars[0].second) << "restored while the key was down";
    XFree(syms);

    injector_->Key(KeyRecord{0, chars[0].first, true, true});
    TypeUnits(*injector_, std::u16string(1, chars[1].first));
    injector_->Flush();
    std::vector<SeenEvent> rest = window_->EventsUntilMarker(*injector_);
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(rest[0].type, KeyRelease);
    EXPECT_EQ(rest[0].detail, code);
    EXPECT_TRUE(RowIsEmpty(before, minKeycode, per, rest[1].detail));

    WaitUntil([&] { return window_->KeyboardMap() == before; }, std::chrono::seconds(5));
    EXPECT_EQ(window_->KeyboardMap(), before) << "spare keycodes were not given back";
}

// With every spare bound, the one idle longest types the next new character.
TEST_F(X11Keyboard, ReusesTheOldestSpareWhenAllAreBound) {
    options_.spareKeycodeLimit = 2;
    MakeInjector();
    std::vector<KeySym> before = window_->KeyboardMap();
    std::vector<std::pair<char16_t, KeySym>> chars = Unmapped(before, 3);
    ASSERT_EQ(chars.size(), 3u);
    std::vector<unsigned> codes;
    const std::pair<char16_t, KeySym> typed[] = {chars[0], chars[1],
                                                 chars[0],   // still bound
                                                 chars[2],   // takes the second one's keycode
                                                 chars[1]};  // takes the first one's
    for (const auto& [unit, sym] : typed) {
        TypeUnits(*injector_, std::u16string(1, unit));
        injector_->Flush();
        std::vector<SeenEvent> events = window_->EventsUntilMarker(*injector_);
        ASSERT_EQ(Describe(events), Typed({sym}));
        codes.push_back(events[0].detail);
    }
    EXPECT_NE(codes[0], codes[1]);
    EXPECT_EQ(codes[2], codes[0]);
    EXPECT_EQ(codes[3], codes[1]);
    EXPECT_EQ(codes[4], codes[0]);
    injector_.reset();
    EXPECT_EQ(window_->KeyboardMap(), before);
}

// Another client rearranges the keyboard map: the injector must follow, not type from its copy.
TEST_F(X11Keyboard, FollowsKeyboardMapChanges) {
    int minKeycode = 0, per = 0;
    std::vector<KeySym> before = window_->KeyboardMap(&minKeycode, &per);
    KeyCode a = window_->KeycodeOf(before, XK_a), b = window_->KeycodeOf(before, XK_b);
    ASSERT_TRUE(a != 0 && b != 0);
    TypeUnits(*injector_, u"a");
    injector_->Flush();
    ASSERT_EQ(Describe(window_->EventsUntilMarker(*injector_)), Typed({XK_a}));

    Display* display = window_->display();
    auto row = [&](KeyCode code) {
        return std::vector<KeySym>(before.begin() + (code - minKeycode) * per,
                                   before.begin() + (code - minKeycode + 1) * per);
    };
    std::vector<KeySym> rowA = row(a), rowB = row(b);
    struct Restore {
        Display* display;
        KeyCode a, b;
        std::vector<KeySym>&rowA, &rowB;
        int per;
        ~Restore() {
            XChangeKeyboardMapping(display, a, per, rowA.data(), 1);
            XChangeKeyboardMapping(display, b, per, rowB.data(), 1);
            XSync(display, False);
        }
    } restore{display, a, b, rowA, rowB, per};
    XChangeKeyboardMapping(display, a, per, rowB.data(), 1);
    XChangeKeyboardMapping(display, b, per, rowA.data(), 1);
    XSync(display, False);
    // The server sent the injector its mapping events before it answered our XSync. The size
    // query is a round trip on the injector's connection, so they are read by the time it
    // returns; the injector then handles them before its next key.
    int width = 0, height = 0;
    ASSERT_TRUE(injector_->ScreenSize(&width, &height));

    TypeUnits(*injector_, u"ab");
    injector_->Flush();
    std::vector<SeenEvent> events = window_->EventsUntilMarker(*injector_);
    ASSERT_EQ(Describe(events), Typed({XK_a, XK_b}));
    EXPECT_EQ(events[0].detail, b);
    EXPECT_EQ(events[2].detail, a);
}

// A key that types something else in the second layout (group) would type that while the
// second layout is active: such a key is not used, a spare is bound instead.
TEST_F(X11Keyboard, KeysThatDifferInTheSecondLayoutAreNotUsed) {
    int minKeycode = 0, per = 0;
    std::vector<KeySym> before = window_->KeyboardMap(&minKeycode, &per);
    ASSERT_GE(per, 4);
    KeyCode a = window_->KeycodeOf(before, XK_a);
    ASSERT_NE(a, 0);
    Display* display = window_->display();
    std::vector<KeySym> rowA(before.begin() + (a - minKeycode) * per,
                             before.begin() + (a - minKeycode + 1) * per);
    struct Restore {
        Display* display;
        KeyCode a;
        std::vector<KeySym>& row;
        int per;
        ~Restore() {
            XChangeKeyboardMapping(display, a, per, row.data(), 1);
            XSync(display, False);
        }
    } restore{display, a, rowA, per};
    KeySym twoLayouts[4] = {XK_a, XK_A, XK_Cyrillic_ef, XK_Cyrillic_EF};
    XChangeKeyboardMapping(display, a, 4, twoLayouts, 1);
    XSync(display, False);
    int width = 0, height = 0;
    ASSERT_TRUE(injector_->ScreenSize(&width, &height));  // see FollowsKeyboardMapChanges

    TypeUnits(*injector_, u"a");
    injector_->Flush();
    std::vector<SeenEvent> events = window_->EventsUntilMarker(*injector_);
    ASSERT_EQ(Describe(events), Typed({XK_a}));
    EXPECT_NE(events[0].detail, a);
    EXPECT_TRUE(RowIsEmpty(before, minKeycode, per, events[0].detail));
}

// Keys still down when the injector goes are released; spare keycodes are given back.
TEST_F(X11Keyboard, DestroyingReleasesHeldKeys) {
    std::vector<KeySym> before = window_->KeyboardMap();
    std::vector<std::pair<char16_t, KeySym>> chars = Unmapped(before, 1);
    ASSERT_EQ(chars.size(), 1u);
    SendVirtualKey(*injector_, kVkControl, false);
    injector_->Key(KeyRecord{0, chars[0].first, true, false});
    injector_->Flush();
    std::vector<SeenEvent> pressed = window_->EventsUntilMarker(*injector_);
    ASSERT_EQ(Describe(pressed),
              Describe({KeyEvent(KeyPress, XK_Control_L), KeyEvent(KeyPress, chars[0].second)}));
    injector_.reset();
    EXPECT_EQ(window_->KeyboardMap(), before);

    MakeInjector();  // only for its marker
    std::vector<SeenEvent> released = window_->EventsUntilMarker(*injector_);
    ASSERT_EQ(released.size(), 2u) << ::testing::PrintToString(Describe(released));
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(released[i].type, KeyRelease);
        EXPECT_EQ(released[i].detail, pressed[i].detail);
    }
}

// What the program does at its end: every key and button it holds goes up, and it can go on.
TEST_F(X11Keyboard, ReleaseAllLetsGoOfKeysAndButtons) {
    std::vector<std::pair<char16_t, KeySym>> chars = Unmapped(window_->KeyboardMap(), 1);
    ASSERT_EQ(chars.size(), 1u);
    injector_->SetCursorPosition(200, 100);
    SendVirtualKey(*injector_, kVkShift, false);
    injector_->Key(KeyRecord{0, chars[0].first, true, false});
    injector_->MouseEvent(kMouseLeftDown | kMouseRightDown, 0, 0, 0);
    injector_->MouseEvent(kMouseRightUp, 0, 0, 0);
    injector_->MouseEvent(kMouseMiddleDown, 0, 0, 0);
    injector_->Flush();
    std::vector<SeenEvent> pressed = window_->EventsUntilMarker(*injector_);
    ASSERT_EQ(pressed.size(), 6u) << ::testing::PrintToString(Describe(pressed));
    EXPECT_EQ(KeysDown(window_->display()).size(), 2u);

    injector_->ReleaseAll();
    std::vector<SeenEvent> released = window_->EventsUntilMarker(*injector_);
    std::multiset<std::string> seen;
    for (const std::string& event : Describe(released)) seen.insert(event);
    const std::string charRelease = Describe(KeyEvent(KeyRelease, chars[0].second));
    EXPECT_EQ(seen, (std::multiset<std::string>{"release Shift_L", charRelease, "button-release 1",
                                                "button-release 2"}));
    EXPECT_TRUE(KeysDown(window_->display()).empty());
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(window_->display(), DefaultRootWindow(window_->display()), &root, &child, &rootX,
                  &rootY, &x, &y, &mask);
    EXPECT_EQ(mask & (Button1Mask | Button2Mask | Button3Mask), 0u);

    injector_->ReleaseAll();  // nothing held: nothing sent
    TypeUnits(*injector_, std::u16string(1, chars[0].first));
    injector_->Flush();
    EXPECT_EQ(Describe(window_->EventsUntilMarker(*injector_)), Typed({chars[0].second}));
}
