#include "commands/dispatcher.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands/handler_context.h"
#include "commands/keyboard_input.h"
#include "commands/pointer_input.h"
#include "platform/input.h"
#include "platform/text_conversion.h"
#include "platform/version.h"
#include "service/handlers.h"
#include "support/log.h"
#include "support/text.h"
#include "support/trace.h"

namespace {

constexpr char kCmdList[] =
    "QueryInfo:CmdList,MouseMove,MouseLeftClick,MouseRightClick,MouseDoubleClick,PptNextPage,"
    "PptPrevPage,PptExplorer,PptPreDraw,PptDrawDown,PptDrawUp,PptGotoPage,QueryInfo:PptCurPage,"
    "QueryInfo:PcInfo,QueryInfo:Version,MouseMidMove,MouseMidClick,Keyboard,QueryInfo:ScreenSize,"
    "QueryInfo:PptViewSize\n";
static_assert(sizeof kCmdList - 1 == 292, "the command list phones parse");

constexpr size_t kNameLimit = 255;

// A drop-in for a missing injector: input goes nowhere.
class NoInput : public InputInjector {
public:
    void MouseEvent(std::uint32_t, std::int32_t, std::int32_t, std::int32_t) override {}
    void SetCursorPosition(int, int) override {}
    void Key(const KeyRecord&) override {}
    bool ScreenSize(int* width, int* height) override {
        *width = *height = 0;
        return false;
    }
};

int Post(HandlerContext& context, std::uint32_t message, std::uint32_t wParam = 0,
         std::uint32_t lParam = 0) {
    PresentationRequestSink* worker = context.worker.load();
    if (worker == nullptr) return kNoWorkerError;
    return worker->Post({message, wParam, lParam});
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

int Reply(int length) {
    if (length < 0) return 0;
    return length < kReplyBufferSize ? length : kReplyBufferSize - 1;
}

int QueryInfo(HandlerContext& context, InputInjector& input, const char* topic, char* reply) {
    if (StartsWith(topic, "PptCurPage")) {
        return Reply(std::snprintf(reply, kReplyBufferSize, "QueryInfo:PptCurPage,%d,%d\n",
                                   context.ppt.curPos.load(), context.ppt.slideCount.load()));
    }
    if (StartsWith(topic, "PcInfo")) {
        std::string name(CutAnsi(context.ComputerName(), 259));
        for (char& c : name) {
            if (c == ',') c = '.';
        }
        return Reply(std::snprintf(reply, kReplyBufferSize, "QueryInfo:PcInfo,%s,%s\n",
                                   context.HardwareAddressText.c_str(), name.c_str()));
    }
    if (StartsWith(topic, "Version")) {
        return Reply(std::snprintf(reply, kReplyBufferSize, "QueryInfo:Version,%d\n",
                                   ProductVersionNumber()));
    }
    if (StartsWith(topic, "ScreenSize")) {
        int width = 0, height = 0;
        input.ScreenSize(&width, &height);
        return Reply(
            std::snprintf(reply, kReplyBufferSize, "QueryInfo:ScreenSize,%d,%d\n", width, height));
    }
    if (StartsWith(topic, "PptViewSize")) {
        return Reply(std::snprintf(reply, kReplyBufferSize, "QueryInfo:%s,%d,%d\n", "PptViewSize",
                                   context.ppt.viewWidth.load(), context.ppt.viewHeight.load()));
    }
    if (StartsWith(topic, "CmdList")) {
        std::memcpy(reply, kCmdList, sizeof kCmdList);
        return static_cast<int>(sizeof kCmdList - 1);
    }
    return 0;
}

void ShowLogin(HandlerContext& context, const char* clientId, const char* parameter) {
    std::string name = parameter;
    if (name.empty()) context.stationTable.Lookup(clientId, &name);
    // Cut on whole characters in both steps, so the notice never ends in half a character.
    const std::u16string wide = Utf8ToUtf16(name);
    const std::string ansi = Utf16ToAnsi(CutUtf16(wide, kNameLimit));
    context.ShowConnectionPopup(std::string(CutAnsi(ansi, kNameLimit)).c_str());
}

void ChangeState(HandlerContext& context, const char* parameter) {
    std::int32_t mode = std::atoi(parameter);
    std::int32_t second = 0;
    const char* comma = std::strchr(parameter, ',');
    if (comma != nullptr) second = std::atoi(comma + 1);
    if (mode == 1 && comma != nullptr) {
        // Stored before the post, so the worker finds them when it handles the request.
        context.ppt.penColor = static_cast<std::uint32_t>(std::atoi(comma + 1));
        const char* widthComma = std::strchr(comma + 1, ',');
        if (widthComma != nullptr) {
            std::int32_t width = std::atoi(widthComma + 1);
            context.ppt.penWidth = width >= 1 ? width : 2;
        }
    }
    Post(context, PR_CHANGE_STATE, static_cast<std::uint32_t>(mode),
         static_cast<std::uint32_t>(second));
}

void DrawLine(HandlerContext& context, const char* parameter) {
    std::int32_t values[4] = {0, 0, 0, 0};
    int count = 0;
    const char* p = parameter;
    while (*p != '\0' && count < 4) {
        while (*p == ',') ++p;
        if (*p == '\0') break;
        values[count++] = std::atoi(p);
        while (*p != '\0' && *p != ',') ++p;
    }
    Post(context, PR_DRAW_LINE, MakeLong(values[0], values[1]), MakeLong(values[2], values[3]));
}

}  // namespace

int DispatchCommand(const char* clientId, const char* command, const char* parameter, char* reply,
                    void* owner) {
    auto& context = *static_cast<HandlerContext*>(owner);
    NoInput noInput;
    InputInjector& input = context.input != nullptr ? *context.input : noInput;
    if (std::strcmp(command, "QueryInfo") != 0 && !StartsWith(parameter, "PptCurPage")) {
        TracePrintf("CID=%s, CMD=%s, PARAM=%s\n", EscapeControls(clientId).c_str(),
                    EscapeControls(command).c_str(), EscapeControls(parameter).c_str());
    }
    auto is = [command](const char* name) { return std::strcmp(command, name) == 0; };

    if (is("Login")) {
        ShowLogin(context, clientId, parameter);
    } else if (is("MouseMove")) {
        MoveRelative(input, parameter, context.HorizontalFactor, context.VerticalFactor);
        input.Flush();
    } else if (is("MouseMidMove")) {
        TurnWheel(input, parameter);
        input.Flush();
    } else if (is("MouseMidClick")) {
        Click(input, kMouseMiddleDown, kMouseMiddleUp);
        input.Flush();
    } else if (is("Keyboard")) {
        KeyboardCommand keys;
        if (ParseKeyboardParameter(parameter, &keys)) {
            SendKeyboardInput(input, keys);
            input.Flush();
        }
    } else if (is("MouseLeftClick")) {
        Click(input, kMouseLeftDown, kMouseLeftUp);
        input.Flush();
        Post(context, PR_CHECK_END);
    } else if (is("MouseRightClick")) {
        Click(input, kMouseRightDown, kMouseRightUp);
        input.Flush();
    } else if (is("MouseDoubleClick")) {
        if (context.ppt.attached == 0) {
            Click(input, kMouseLeftDown, kMouseLeftUp, 2);
            input.Flush();
        }
        Post(context, PR_QUIT);
    } else if (is("PptNextPage")) {
        Post(context, PR_NEXT_PAGE);
    } else if (is("PptPrevPage")) {
        Post(context, PR_PREV_PAGE);
    } else if (is("PptExplorer")) {
        Post(context, PR_EXPLORER);
    } else if (is("PptPreDraw")) {
        Post(context, PR_PRE_DRAW);
    } else if (is("PptDrawDown")) {
        Post(context, PR_DRAW_DOWN);
    } else if (is("PptDrawStart")) {
        // The point is in the slideshow window; the worker puts the pointer there before the
        // button goes down (it knows where that window is on the screen).
        if (const char* comma = std::strchr(parameter, ',')) {
            Post(context, PR_DRAW_DOWN, MakeLong(std::atoi(parameter), std::atoi(comma + 1)),
                 kDrawStartAtPoint);
        } else {
            Post(context, PR_DRAW_DOWN, 0, 1);
        }
    } else if (is("PptDrawUp")) {
        if (int error = Post(context, PR_DRAW_UP))
            TracePrintf("PptDrawUp Post Error <%d>\n", error);
    } else if (is("PptDrawEnd")) {
        Post(context, PR_DRAW_UP, 0, 1);
    } else if (is("PptGotoPage")) {
        Post(context, PR_GOTO_PAGE, static_cast<std::uint32_t>(std::atoi(parameter)));
    } else if (is("PptChangeState")) {
        ChangeState(context, parameter);
    } else if (is("PptDrawLine")) {
        DrawLine(context, parameter);
    } else if (is("PptQuit")) {
        Post(context, PR_QUIT);
    } else if (is("QueryInfo")) {
        return QueryInfo(context, input, parameter, reply);
    }
    return 0;
}

int ProductVersionNumber() {
    std::uint16_t parts[4];
    if (!ReadProductVersion(parts)) {
        LogPrintf("Get File Version Error.\n ");
        return 100;
    }
    // The third and fourth parts read as the decimal number "third.fourth", times 100 and
    // truncated, in exact integer arithmetic (1.13 gives 113, 1.123 gives 112).
    int fourth = parts[3];
    int scale = 10;
    while (scale <= fourth) scale *= 10;
    return parts[2] * 100 + fourth * 100 / scale;
}
