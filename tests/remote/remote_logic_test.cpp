// corvane-remote without a network: command line, key decoding, the interactive mode's
// commands and status, and the discovery answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/socket.h"
#include "remote/discovery_client.h"
#include "remote/keys.h"
#include "remote/options.h"
#include "remote/present_controller.h"

namespace {

using Lines = std::vector<std::string>;

std::string Parse(std::vector<const char*> args, RemoteOptions* options,
                  const char* environmentPassword = nullptr) {
    args.insert(args.begin(), "corvane-remote");
    return ParseOptions(static_cast<int>(args.size()), args.data(), environmentPassword, "this-pc",
                        options);
}

// Every key in `bytes`, decoded as a terminal delivers them (the input ends after them).
std::vector<Key> Decode(std::string bytes) {
    std::vector<Key> keys;
    while (!bytes.empty()) {
        Key key;
        std::size_t used = DecodeKey(bytes, true, &key);
        if (used == 0) break;
        keys.push_back(key);
        bytes.erase(0, used);
    }
    return keys;
}

std::vector<KeyCode> Codes(const std::string& bytes) {
    std::vector<KeyCode> codes;
    for (const Key& k : Decode(bytes)) codes.push_back(k.code);
    return codes;
}

Key Char(char c) { return Key{KeyCode::kChar, c}; }
Key Code(KeyCode code) { return Key{code, 0}; }

// The lines a series of keys sends.
Lines Press(PresentController& c, const std::vector<Key>& keys) {
    Lines lines;
    for (const Key& k : keys) {
        for (const std::string& line : c.OnKey(k).lines) lines.push_back(line);
    }
    return lines;
}

std::uint32_t Ip(const char* dotted) {
    std::uint32_t a = 0;
    ParseIpv4(dotted, &a);
    return a;
}

}  // namespace

TEST(RemoteOptions, DefaultsHostPortPasswordAndSendLines) {
    RemoteOptions o;
    ASSERT_EQ(Parse({"send", "PptNextPage", "QueryInfo:PptCurPage", "PptGotoPage:3"}, &o), "");
    EXPECT_EQ(o.command, RemoteOptions::Command::kSend);
    EXPECT_EQ(o.host, "");
    EXPECT_EQ(o.port, 33589);
    EXPECT_FALSE(o.portGiven);
    EXPECT_EQ(o.password, "735");
    EXPECT_EQ(o.clientId, "corvane-remote");
    EXPECT_EQ(o.name, "this-pc");
    EXPECT_EQ(o.lines, (Lines{"PptNextPage:", "QueryInfo:PptCurPage", "PptGotoPage:3"}));

    RemoteOptions h;
    ASSERT_EQ(Parse({"--host", "10.1.2.3:4000", "--password=s3cret", "--name", "", "present"}, &h,
                    "from-env"),
              "");
    EXPECT_EQ(h.host, "10.1.2.3");
    EXPECT_EQ(h.port, 4000);
    EXPECT_TRUE(h.portGiven);
    EXPECT_EQ(h.password, "s3cret");
    EXPECT_EQ(h.name, "");

    // The environment's password counts unless one is given; --port wins over HOST:PORT.
    RemoteOptions e;
    ASSERT_EQ(Parse({"-p", "5000", "-H", "pc:4000", "--heartbeat", "3", "present"}, &e, "env"), "");
    EXPECT_EQ(e.password, "env");
    EXPECT_EQ(e.port, 5000);
    EXPECT_EQ(e.heartbeatSeconds, 3);
}

TEST(RemoteOptions, RefusesWhatCannotWork) {
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"launch"},
        {"send"},
        {"--bogus", "discover"},
        {"--host"},
        {"--host", "pc:0", "discover"},
        {"--port", "70000", "discover"},
        {"--heartbeat", "30", "present"},
        {"--listen", "10", "discover"},
        {"-P", "a,b", "send", "Heartbeat"},    // the login line cannot carry the comma
        {"--id", "a,b", "send", "Heartbeat"},  // it would shift the name
        {"--name", "two\nlines", "present"},
        {"send", "Heartbeat", "--host", "pc"},  // an option after the command
        {"send", "Keyboard:a\nPptQuit:"},
        {"discover", "present"},
    };
    for (const auto& args : bad) {
        RemoteOptions o;
        std::string shown;
        for (const char* a : args) shown += std::string(a) + " ";
        EXPECT_NE(Parse(args, &o), "") << shown;
    }
    RemoteOptions late;
    EXPECT_EQ(Parse({"send", "x", "--help"}, &late), "options go before the command: --help");
    RemoteOptions help;
    EXPECT_EQ(Parse({"--help", "send"}, &help), "");
    EXPECT_EQ(help.command, RemoteOptions::Command::kHelp);
}

TEST(RemoteKeys, TerminalSequencesAndPlainKeys) {
    EXPECT_EQ(Codes("\x1b[C\x1b[D\x1bOC\x1bOD\x1b[A\x1b[B"),
              (std::vector<KeyCode>{KeyCode::kRight, KeyCode::kLeft, KeyCode::kRight,
                                    KeyCode::kLeft, KeyCode::kUp, KeyCode::kDown}));
    EXPECT_EQ(Codes("\x1b[5~\x1b[6~\x1b[1;5C\x1b[15~"),
              (std::vector<KeyCode>{KeyCode::kPageUp, KeyCode::kPageDown, KeyCode::kRight,
                                    KeyCode::kNone}));
    EXPECT_EQ(Codes("\r\n\x7f\x08\x03\x04\x01"),
              (std::vector<KeyCode>{KeyCode::kEnter, KeyCode::kEnter, KeyCode::kBackspace,
                                    KeyCode::kBackspace, KeyCode::kInterrupt, KeyCode::kEndOfInput,
                                    KeyCode::kNone}));
    std::vector<Key> keys = Decode(" q7");
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].code, KeyCode::kChar);
    EXPECT_EQ(keys[0].ch, ' ');
    EXPECT_EQ(keys[1].ch, 'q');
    EXPECT_EQ(keys[2].ch, '7');
    // Escape followed by a key that starts no sequence is Escape, then that key.
    keys = Decode("\x1bq");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].code, KeyCode::kEscape);
    EXPECT_EQ(keys[1].ch, 'q');
}

TEST(RemoteKeys, UnfinishedSequenceWaitsForMoreOrForTheEnd) {
    Key key;
    EXPECT_EQ(DecodeKey("", true, &key), 0u);
    EXPECT_EQ(DecodeKey("\x1b", false, &key), 0u);
    EXPECT_EQ(DecodeKey("\x1b[", false, &key), 0u);
    EXPECT_EQ(DecodeKey("\x1b[6", false, &key), 0u);
    ASSERT_EQ(DecodeKey("\x1b[6~", false, &key), 4u);
    EXPECT_EQ(key.code, KeyCode::kPageDown);
    // Nothing followed: a lone Escape key; a cut sequence is dropped whole.
    ASSERT_EQ(DecodeKey("\x1b", true, &key), 1u);
    EXPECT_EQ(key.code, KeyCode::kEscape);
    ASSERT_EQ(DecodeKey("\x1b[6", true, &key), 3u);
    EXPECT_EQ(key.code, KeyCode::kNone);
}

TEST(PresentControllerTest, KeysBecomeSlideshowCommands) {
    PresentController c;
    EXPECT_EQ(
        Press(c, {Code(KeyCode::kRight), Char(' '), Code(KeyCode::kPageDown), Code(KeyCode::kLeft),
                  Code(KeyCode::kPageUp)}),
        (Lines{"PptNextPage:", "PptNextPage:", "PptNextPage:", "PptPrevPage:", "PptPrevPage:"}));
    // A slide number, corrected with Backspace; Enter alone sends nothing.
    EXPECT_EQ(Press(c, {Char('1'), Char('9'), Code(KeyCode::kBackspace), Char('2')}), Lines{});
    EXPECT_NE(c.Status().find("go to slide: 12_"), std::string::npos) << c.Status();
    EXPECT_EQ(Press(c, {Code(KeyCode::kEnter), Code(KeyCode::kEnter)}), Lines{"PptGotoPage:12"});
    EXPECT_EQ(Press(c, {Char('0'), Char('0'), Char('7'), Code(KeyCode::kEnter)}),
              Lines{"PptGotoPage:7"});
    // Escape drops a number being typed; only the next one ends the show.
    EXPECT_EQ(Press(c, {Char('5'), Code(KeyCode::kEscape)}), Lines{});
    EXPECT_EQ(c.Status().find("go to"), std::string::npos);
    EXPECT_EQ(Press(c, {Code(KeyCode::kEscape)}), Lines{"PptQuit:"});
    // Up, Down and unknown keys do nothing.
    EXPECT_EQ(Press(c, {Code(KeyCode::kUp), Code(KeyCode::kDown), Code(KeyCode::kNone), Char('x')}),
              Lines{});
}

TEST(PresentControllerTest, BlackScreenAndPenToggleAndReplaceEachOther) {
    PresentController c;
    EXPECT_EQ(Press(c, {Char('b')}), Lines{"PptChangeState:3"});
    EXPECT_NE(c.Status().find("[black screen]"), std::string::npos);
    EXPECT_EQ(Press(c, {Char('b')}), Lines{"PptChangeState:0"});
    EXPECT_EQ(c.Status().find("[black screen]"), std::string::npos);
    EXPECT_EQ(Press(c, {Char('p')}), Lines{"PptChangeState:1"});
    EXPECT_NE(c.Status().find("[pen]"), std::string::npos);
    // Black while the pen is on: black; then p is pen again, not "back to the arrow".
    EXPECT_EQ(Press(c, {Char('b'), Char('p'), Char('p')}),
              (Lines{"PptChangeState:3", "PptChangeState:1", "PptChangeState:0"}));
    // Ending the show forgets both.
    EXPECT_EQ(Press(c, {Char('b'), Code(KeyCode::kEscape), Char('b')}),
              (Lines{"PptChangeState:3", "PptQuit:", "PptChangeState:3"}));
}

TEST(PresentControllerTest, QuitKeysAndNavigationMarks) {
    for (Key k : {Char('q'), Char('Q'), Code(KeyCode::kInterrupt), Code(KeyCode::kEndOfInput)}) {
        PresentController c;
        PresentController::Action a = c.OnKey(k);
        EXPECT_TRUE(a.quit);
        EXPECT_TRUE(a.lines.empty());
    }
    PresentController c;
    EXPECT_TRUE(c.OnKey(Code(KeyCode::kRight)).navigated);
    EXPECT_FALSE(c.OnKey(Char('b')).navigated);
    EXPECT_FALSE(c.OnKey(Char('4')).navigated);
    EXPECT_TRUE(c.OnKey(Code(KeyCode::kEnter)).navigated);
}

TEST(PresentControllerTest, StatusFollowsTheSlideAnswers) {
    PresentController c;
    EXPECT_EQ(c.Status(), "asking for the slide...");
    EXPECT_FALSE(c.OnAnswer("QueryInfo:Version,152\n"));
    EXPECT_FALSE(c.OnAnswer("QueryInfo:PptCurPage,x\n"));
    EXPECT_FALSE(c.Known());
    EXPECT_TRUE(c.OnAnswer("QueryInfo:PptCurPage,-1,-1\n"));
    EXPECT_EQ(c.Status(), "no slideshow");
    EXPECT_TRUE(c.OnAnswer("QueryInfo:PptCurPage,3,12\n"));
    EXPECT_EQ(c.Status(), "slide 3 of 12");
    EXPECT_EQ(c.Slide(), 3);
    EXPECT_EQ(c.Slides(), 12);
    // Past the last slide: the show's end screen.
    EXPECT_TRUE(c.OnAnswer("QueryInfo:PptCurPage,13,12\n"));
    EXPECT_EQ(c.Status(), "end of the show (12 slides)");
}

TEST(DiscoveryAnswers, ParsedFieldsAndRejectedDatagrams) {
    std::string hw, name;
    int port = 0;
    ASSERT_TRUE(
        ParseDiscoveryAnswer("Vola:00-1A-2B-3C-4D-5E,OFFICE-PC,33589\n", &hw, &name, &port));
    EXPECT_EQ(hw, "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(name, "OFFICE-PC");
    EXPECT_EQ(port, 33589);
    // Names may hold spaces, full stops and UTF-8; the port is behind the last comma.
    ASSERT_TRUE(
        ParseDiscoveryAnswer("Vola:AA-BB-CC-DD-EE-FF,Anna.PC Büro,4000", &hw, &name, &port));
    EXPECT_EQ(name, "Anna.PC Büro");
    EXPECT_EQ(port, 4000);
    for (const char* bad :
         {"vola:00-1A-2B-3C-4D-5E,PC,33589\n", "Vola:00-1A-2B-3C-4D-5E,33589\n",
          "Vola:00-1A-2B-3C-4D-5E,PC,\n", "Vola:00-1A-2B-3C-4D-5E,PC,0\n",
          "Vola:00-1A-2B-3C-4D-5E,PC,65536\n", "Vola:00-1A-2B-3C-4D-5E,PC,33589x\n",
          "Vola:00-1A-2B-3C-4D-5E,PC,33589\nVola:x,y,1\n", "Vola:e2e,hello\n", ""}) {
        EXPECT_FALSE(ParseDiscoveryAnswer(bad, &hw, &name, &port)) << bad;
    }
    EXPECT_EQ(ProbeText("corvane-remote", "p"), "Vola:corvane-remote,p\n");
}

TEST(DiscoveryAnswers, OneEntryPerAddressAndPortWithEveryProbeThatReachedIt) {
    std::vector<DiscoveredComputer> found;
    const std::string answer = "Vola:00-1A-2B-3C-4D-5E,OFFICE-PC,33589\n";
    RecordAnswer(&found, answer, Ip("192.168.1.20"), kProbePort, false);
    RecordAnswer(&found, answer, Ip("192.168.1.20"), kGroupPort, false);
    RecordAnswer(&found, answer, Ip("192.168.1.20"), kProbePort, false);  // the repeated probe
    RecordAnswer(&found, "Vola:00-1A-2B-3C-4D-5E,OFFICE-PC,4000\n", Ip("192.168.1.20"), kGroupPort,
                 false);
    RecordAnswer(&found, answer, Ip("10.0.0.5"), kProbePort, true);
    RecordAnswer(&found, "Heartbeat:\n", Ip("10.0.0.9"), kProbePort, false);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(FormatIpv4(found[0].from), "192.168.1.20");
    EXPECT_EQ(found[0].port, 33589);
    EXPECT_TRUE(found[0].broadcast);
    EXPECT_TRUE(found[0].multicast);
    EXPECT_FALSE(found[0].direct);
    EXPECT_EQ(found[1].port, 4000);
    EXPECT_FALSE(found[1].broadcast);
    EXPECT_TRUE(found[1].multicast);
    EXPECT_EQ(FormatIpv4(found[2].from), "10.0.0.5");
    EXPECT_TRUE(found[2].direct);
    EXPECT_FALSE(found[2].broadcast);
}
