#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/dispatcher.h"
#include "commands/handler_context.h"
#include "fakes/recording_input.h"
#include "fakes/recording_requests.h"
#include "platform/text_conversion.h"

using testing::ElementsAre;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

void PrintTo(const PresentationRequest& r, std::ostream* os) {
    *os << "(" << r.message << ", " << r.wParam << ", " << r.lParam << ")";
}

namespace {

class PopupRecorder : public HandlerContext {
public:
    explicit PopupRecorder(InputInjector* input) : HandlerContext(input) {}
    void ShowConnectionPopup(const char* text) override { popups.push_back(text); }
    std::vector<std::string> popups;
};

class DispatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        context_.worker = &requests_;
        context_.HardwareAddressText = "00-1A-2B-3C-4D-5E";
        context_.SetComputerName("Anna,PC");
    }
    // Runs one command; returns the reply text.
    std::string Run(const char* command, const char* parameter, const char* clientId = "cid") {
        char reply[8192];
        CaptureStdout();
        int n = DispatchCommand(clientId, command, parameter, reply, &context_);
        trace_ = GetCapturedStdout();
        return n > 0 ? std::string(reply, static_cast<size_t>(n)) : std::string();
    }

    RecordingInput input_;
    PopupRecorder context_{&input_};
    RecordingRequests requests_;
    std::string trace_;
};

}  // namespace

TEST_F(DispatcherTest, TraceLineExceptForQueriesAndCurrentPagePolls) {
    Run("PptNextPage", "");
    EXPECT_EQ(trace_, "CID=cid, CMD=PptNextPage, PARAM=\n");
    // What the phone sent is shown, never obeyed, by the terminal.
    Run("Ppt\x1b[2J", "\x1b]0;x\x07\r", "id\x7f,name");
    EXPECT_EQ(trace_, "CID=id\\x7f,name, CMD=Ppt\\x1b[2J, PARAM=\\x1b]0;x\\x07\\x0d\n");
    Run("QueryInfo", "Version");
    EXPECT_EQ(trace_, "");
    Run("Anything", "PptCurPage-ish");
    EXPECT_EQ(trace_, "");
}

TEST_F(DispatcherTest, QueryInfoTopicsMatchByPrefix) {
    EXPECT_EQ(Run("QueryInfo", "PptCurPage"), "QueryInfo:PptCurPage,-1,-1\n");
    context_.ppt.curPos = 3;
    context_.ppt.slideCount = 12;
    EXPECT_EQ(Run("QueryInfo", "PptCurPage"), "QueryInfo:PptCurPage,3,12\n");
    EXPECT_EQ(Run("QueryInfo", "PcInfo"), "QueryInfo:PcInfo,00-1A-2B-3C-4D-5E,Anna.PC\n");
    EXPECT_EQ(Run("QueryInfo", "Version"), "QueryInfo:Version,152\n");
    EXPECT_EQ(Run("QueryInfo", "ScreenSize"), "QueryInfo:ScreenSize,1920,1080\n");
    context_.ppt.viewWidth = 1280;
    context_.ppt.viewHeight = 720;
    EXPECT_EQ(Run("QueryInfo", "PptViewSizeX"), "QueryInfo:PptViewSize,1280,720\n");
    std::string list = Run("QueryInfo", "CmdList");
    EXPECT_EQ(list.size(), 292u);
    EXPECT_EQ(list.substr(0, 28), "QueryInfo:CmdList,MouseMove,");
    EXPECT_EQ(list.back(), '\n');
    for (const char* nothing : {"Ppt", "", "pptcurpage", "Cmd"}) {
        EXPECT_EQ(Run("QueryInfo", nothing), "") << nothing;
    }
    EXPECT_TRUE(requests_.Posted().empty());
}

TEST_F(DispatcherTest, CommandWordsAreCaseSensitive) {
    EXPECT_EQ(Run("mousemove", "10,10"), "");
    EXPECT_EQ(Run("queryinfo", "CmdList"), "");
    EXPECT_EQ(Run("PPTNEXTPAGE", ""), "");
    EXPECT_TRUE(input_.Events().empty());
    EXPECT_TRUE(requests_.Posted().empty());
}

TEST_F(DispatcherTest, PresentationCommandsPostTheirRequests) {
    Run("PptNextPage", "");
    Run("PptPrevPage", "x");
    Run("PptExplorer", "");
    Run("PptPreDraw", "");
    Run("PptDrawDown", "");
    Run("PptDrawUp", "");
    Run("PptDrawEnd", "");
    Run("PptGotoPage", "7");
    Run("PptGotoPage", "abc");
    Run("PptQuit", "");
    EXPECT_THAT(
        requests_.Posted(),
        ElementsAre(PresentationRequest{PR_NEXT_PAGE, 0, 0},
                    PresentationRequest{PR_PREV_PAGE, 0, 0}, PresentationRequest{PR_EXPLORER, 0, 0},
                    PresentationRequest{PR_PRE_DRAW, 0, 0}, PresentationRequest{PR_DRAW_DOWN, 0, 0},
                    PresentationRequest{PR_DRAW_UP, 0, 0}, PresentationRequest{PR_DRAW_UP, 0, 1},
                    PresentationRequest{PR_GOTO_PAGE, 7, 0},
                    PresentationRequest{PR_GOTO_PAGE, 0, 0}, PresentationRequest{PR_QUIT, 0, 0}));
    EXPECT_TRUE(input_.Events().empty());
}

TEST_F(DispatcherTest, ChangeStateStoresPenOnlyForModeOne) {
    Run("PptChangeState", "1,255,0");
    EXPECT_EQ(context_.ppt.penColor, 255u);
    EXPECT_EQ(context_.ppt.penWidth, 2);
    Run("PptChangeState", "1,65280,5");
    EXPECT_EQ(context_.ppt.penColor, 65280u);
    EXPECT_EQ(context_.ppt.penWidth, 5);
    Run("PptChangeState", "3");
    Run("PptChangeState", "2,99");
    Run("PptChangeState", "2,99,7");
    EXPECT_EQ(context_.ppt.penColor, 65280u);
    EXPECT_EQ(context_.ppt.penWidth, 5);
    Run("PptChangeState", "1");  // mode 1 without a colour keeps the pen
    EXPECT_EQ(context_.ppt.penColor, 65280u);
    EXPECT_THAT(requests_.Posted(), ElementsAre(PresentationRequest{PR_CHANGE_STATE, 1, 255},
                                                PresentationRequest{PR_CHANGE_STATE, 1, 65280},
                                                PresentationRequest{PR_CHANGE_STATE, 3, 0},
                                                PresentationRequest{PR_CHANGE_STATE, 2, 99},
                                                PresentationRequest{PR_CHANGE_STATE, 2, 99},
                                                PresentationRequest{PR_CHANGE_STATE, 1, 0}));
}

TEST_F(DispatcherTest, DrawLinePacksCoordinatesLikeMakeLong) {
    Run("PptDrawLine", "10,20,30,40");
    Run("PptDrawLine", "-1,0,0,0");
    Run("PptDrawLine", ",,5,,6,");  // empty fields are no tokens
    Run("PptDrawLine", "1,2,3,4,5");
    Run("PptDrawLine", "-32768,-2,70000,3");
    EXPECT_THAT(requests_.Posted(),
                ElementsAre(PresentationRequest{PR_DRAW_LINE, 1310730, 2621470},
                            PresentationRequest{PR_DRAW_LINE, 65535, 0},
                            PresentationRequest{PR_DRAW_LINE, MakeLong(5, 6), 0},
                            PresentationRequest{PR_DRAW_LINE, MakeLong(1, 2), MakeLong(3, 4)},
                            PresentationRequest{PR_DRAW_LINE, 0xFFFE8000u, 0x00031170u}));
}

// The point belongs to the show window: the worker places it, in the order of the requests.
TEST_F(DispatcherTest, DrawStartHandsItsPointToTheWorkerOnlyWithAComma) {
    Run("PptDrawStart", "100,200");
    Run("PptDrawStart", "100");
    Run("PptDrawStart", "-1,70000");
    EXPECT_TRUE(input_.Input().empty());
    EXPECT_THAT(
        requests_.Posted(),
        ElementsAre(PresentationRequest{PR_DRAW_DOWN, MakeLong(100, 200), kDrawStartAtPoint},
                    PresentationRequest{PR_DRAW_DOWN, 0, 1},
                    PresentationRequest{PR_DRAW_DOWN, 0x1170FFFFu, kDrawStartAtPoint}));
}

TEST_F(DispatcherTest, ClicksAndTheirRequests) {
    Run("MouseLeftClick", "");
    Run("MouseRightClick", "");
    Run("MouseMidClick", "");
    Run("MouseDoubleClick", "");
    context_.ppt.attached = 1;
    Run("MouseDoubleClick", "");  // a running show: no clicks, only the request
    EXPECT_THAT(input_.Input(),
                ElementsAre("left down", "left up", "right down", "right up", "middle down",
                            "middle up", "left down", "left up", "left down", "left up"));
    EXPECT_THAT(requests_.Posted(), ElementsAre(PresentationRequest{PR_CHECK_END, 0, 0},
                                                PresentationRequest{PR_QUIT, 0, 0},
                                                PresentationRequest{PR_QUIT, 0, 0}));
}

TEST_F(DispatcherTest, MovesScaleByTheFactorsAndTheWheelTurnsInTenths) {
    Run("MouseMove", "10,-5");
    context_.HorizontalFactor = 100;
    context_.VerticalFactor = 0;
    Run("MouseMove", "10,-5");
    context_.HorizontalFactor = 25;
    Run("MouseMove", "-3");
    Run("MouseMove", "7");
    Run("MidMove", "1");  // no such command
    Run("MouseMidMove", "1");
    Run("MouseMidMove", "-10");
    EXPECT_THAT(input_.Input(), ElementsAre("move 10,-5", "move 20,0", "move -1,0", "move 3,0",
                                            "wheel -12", "wheel 120"));
    // Each command's events are flushed together.
    EXPECT_EQ(input_.Events().back(), "flush");
}

TEST_F(DispatcherTest, LoginShowsTheNameOrTheOneStoredByDiscovery) {
    Run("Login", "Ann's phone");
    context_.stationTable.Record("probed", "OFFICE-PC");
    Run("Login", "", "probed");
    Run("Login", "", "stranger");
    EXPECT_THAT(context_.popups, ElementsAre("Ann's phone", "OFFICE-PC", ""));
    Run("Login", std::string(300, 'n').c_str());
    EXPECT_EQ(context_.popups.back().size(), 255u);

    // Long names are cut on whole characters: the 255 UTF-16 units never end in half a pair,
    // and the narrow text never ends in half a character.
    std::string umlauts;
    for (int i = 0; i < 130; ++i) umlauts += "\xC3\x9C";  // Ü
    Run("Login", umlauts.c_str());
    const std::string shown = context_.popups.back();
    EXPECT_LE(shown.size(), 255u);
    EXPECT_EQ(AnsiToUtf16(shown),
              AnsiToUtf16(Utf8ToAnsi(umlauts)).substr(0, AnsiToUtf16(shown).size()));
#if !defined(_WIN32)
    EXPECT_EQ(shown, umlauts.substr(0, 254));  // 127 whole characters
    std::string faces;
    for (int i = 0; i < 200; ++i) faces += "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair
    Run("Login", faces.c_str());
    EXPECT_EQ(context_.popups.back(), faces.substr(0, 252));  // not 127 pairs and half of one
#endif
}

TEST_F(DispatcherTest, ComputerNameInPcInfoEndsOnAWholeCharacter) {
    std::string umlauts;
    for (int i = 0; i < 130; ++i) umlauts += "\xC3\x9C";  // Ü
    const std::string ansi = Utf8ToAnsi(umlauts);
    context_.SetComputerName(ansi);
    const std::string reply = Run("QueryInfo", "PcInfo");
    const std::string prefix = "QueryInfo:PcInfo,00-1A-2B-3C-4D-5E,";
    ASSERT_EQ(reply.compare(0, prefix.size(), prefix), 0) << reply;
    ASSERT_EQ(reply.back(), '\n');
    // The name goes out in the program's own text, at most 259 bytes of it.
    const std::string name = reply.substr(prefix.size(), reply.size() - prefix.size() - 1);
    EXPECT_LE(name.size(), 259u);
    EXPECT_EQ(name, ansi.substr(0, name.size()));
    EXPECT_EQ(AnsiToUtf16(name), AnsiToUtf16(ansi).substr(0, AnsiToUtf16(name).size()));
#if !defined(_WIN32)
    EXPECT_EQ(name, umlauts.substr(0, 258));  // 129 whole characters
#endif
    // 130 × 中: three bytes each in UTF-8, two in a Chinese code page (936), where both cut to
    // 258 bytes; a code page without it has one byte each and nothing to cut.
    std::string han;
    for (int i = 0; i < 130; ++i) han += "\xE4\xB8\xAD";
    const std::string hanAnsi = Utf8ToAnsi(han);
    context_.SetComputerName(hanAnsi);
    EXPECT_EQ(Run("QueryInfo", "PcInfo"),
              prefix + hanAnsi.substr(0, hanAnsi.size() > 259 ? 258 : hanAnsi.size()) + "\n");
}

TEST_F(DispatcherTest, RequestsWithoutAWorkerAreLost) {
    context_.worker = nullptr;
    Run("PptNextPage", "");
    Run("PptDrawUp", "");
    EXPECT_EQ(trace_, "CID=cid, CMD=PptDrawUp, PARAM=\nPptDrawUp Post Error <1444>\n");
    EXPECT_TRUE(requests_.Posted().empty());
}
