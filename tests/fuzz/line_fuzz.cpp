// libFuzzer target: arbitrary bytes from a phone through one connection's line framing, the
// login and the command dispatcher, with a recording input injector and request sink.
//
// Input: byte 0 and 1 seed how the stream is cut into receives, byte 2 picks a reply whose
// send fails (0: none), the rest is the stream. The stream is run three times: cut as seeded,
// in one piece and byte by byte. Where a stream is cut must not matter, so the three runs
// must record exactly the same; each run must also keep the protocol's rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "commands/dispatcher.h"
#include "commands/handler_context.h"
#include "fakes/recording_input.h"
#include "fakes/recording_requests.h"
#include "service/line_session.h"
#include "service/service_state.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

struct Record {
    std::vector<std::string> replies;
    std::vector<std::string> calls;  // client id, command and parameter, NUL-separated
    std::vector<std::string> input;
    std::vector<PresentationRequest> posted;
    bool closed = false;
    bool operator==(const Record&) const = default;
};

// The handler's owner: a context whose input and worker record, and the calls it saw.
class FuzzContext : public HandlerContext {
public:
    FuzzContext() : HandlerContext(&recorder) { worker = &requests; }
    RecordingInput recorder;
    RecordingRequests requests;
    std::vector<std::string> calls;
};

int RecordAndDispatch(const char* clientId, const char* command, const char* parameter, char* reply,
                      void* owner) {
    auto* context = static_cast<FuzzContext*>(static_cast<HandlerContext*>(owner));
    std::string call = std::string(clientId) + '\0' + command + '\0' + parameter;
    context->calls.push_back(call);
    int n = DispatchCommand(clientId, command, parameter, reply, owner);
    Check(n >= 0 && n < kReplyBufferSize);
    return n;
}

class RecordingReplies : public ReplyChannel {
public:
    explicit RecordingReplies(int failingSend) : failingSend_(failingSend) {}
    bool Send(const char* data, int length) override {
        Check(length > 0 && length <= kReplyBufferSize);
        sent.emplace_back(data, static_cast<size_t>(length));
        return static_cast<int>(sent.size()) != failingSend_;
    }
    std::vector<std::string> sent;

private:
    int failingSend_;
};

// A small generator for the receive sizes: mostly short pieces, now and then a long one.
class Cuts {
public:
    explicit Cuts(std::uint32_t seed) : state_(seed * 2654435761u + 1u) {}
    int Next() {
        state_ = state_ * 1103515245u + 12345u;
        const std::uint32_t r = state_ >> 8;
        return 1 + static_cast<int>((r & 1) ? (r >> 1) % 16 : (r >> 1) % 9000);
    }

private:
    std::uint32_t state_;
};

// Feeds the stream as the connection thread would: each receive gets at most the room left.
// `cut` gives the size the peer's next packet has (0: everything at once).
template <typename Cut>
Record RunStream(const std::uint8_t* data, size_t size, int failingSend, Cut cut) {
    auto context = std::make_unique<FuzzContext>();
    auto server = std::make_shared<ServiceState>();
    server->commandHandler = RecordAndDispatch;
    server->owner = static_cast<HandlerContext*>(context.get());
    server->SetPassword("735");
    server->throttle.SetClock([] { return std::int64_t{1000}; });
    RecordingReplies replies(failingSend);
    auto session = std::make_unique<LineSession>(*server, replies, 0x0100007Fu);

    Record record;
    size_t offset = 0;
    while (offset < size) {
        int room = session->ReceiveRoom();
        Check(room >= 0 && room <= LineSession::kLineLimit);
        if (room == 0) {
            // The receive asks for nothing, gets nothing: the connection ends.
            record.closed = true;
            break;
        }
        size_t want = size - offset;
        const int piece = cut();
        if (piece > 0 && static_cast<size_t>(piece) < want) want = static_cast<size_t>(piece);
        const int n = static_cast<int>(want < static_cast<size_t>(room) ? want : room);
        std::memcpy(session->ReceiveSpace(), data + offset, static_cast<size_t>(n));
        offset += static_cast<size_t>(n);
        const size_t sentBefore = replies.sent.size();
        if (!session->Received(n)) {
            record.closed = true;
            break;
        }
        // A failed send always ends the connection.
        for (size_t i = sentBefore; i < replies.sent.size(); ++i) {
            Check(static_cast<int>(i + 1) != failingSend);
        }
    }

    record.replies = replies.sent;
    record.calls = context->calls;
    record.input = context->recorder.Events();
    record.posted = context->requests.Posted();
    return record;
}

bool IsFixedReply(const std::string& reply) {
    return reply == "Login:OK\n" || reply == "Login:ER\n" || reply == "Heartbeat:\n";
}

void CheckRules(const Record& record) {
    bool loggedIn = false;
    size_t callsSeen = 0;
    for (const std::string& reply : record.replies) {
        Check(IsFixedReply(reply) || (reply.rfind("QueryInfo:", 0) == 0 && reply.back() == '\n' &&
                                      reply.find('\n') == reply.size() - 1));
        if (reply == "Login:OK\n") loggedIn = true;
        if (!loggedIn) Check(reply == "Login:ER\n");
    }
    // Nothing reaches the handler before a login succeeded, and the login itself comes first.
    for (size_t i = 0; i < record.calls.size(); ++i) {
        const std::string& call = record.calls[i];
        const size_t idEnd = call.find('\0');
        const size_t commandEnd = call.find('\0', idEnd + 1);
        Check(idEnd != std::string::npos && commandEnd != std::string::npos);
        const std::string command = call.substr(idEnd + 1, commandEnd - idEnd - 1);
        Check(command.find(':') == std::string::npos);
        Check(call.find('\n') == std::string::npos);
        if (i == 0) Check(loggedIn && command == "Login");
        ++callsSeen;
    }
    static const std::uint32_t kRequests[] = {
        PR_NEXT_PAGE, PR_PREV_PAGE,    PR_EXPLORER,  PR_PRE_DRAW,  PR_DRAW_DOWN, PR_DRAW_UP,
        PR_GOTO_PAGE, PR_CHANGE_STATE, PR_DRAW_LINE, PR_CHECK_END, PR_QUIT};
    for (const PresentationRequest& request : record.posted) {
        bool known = false;
        for (std::uint32_t id : kRequests) known = known || request.message == id;
        Check(known);
    }
    Check(record.posted.empty() || callsSeen > 0);
    Check(record.input.empty() || callsSeen > 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::uint32_t seed = data[0] | (static_cast<std::uint32_t>(data[1]) << 8);
    const int failingSend = data[2] % 8;
    data += 3;
    size -= 3;

    Cuts cuts(seed);
    const Record seeded = RunStream(data, size, failingSend, [&] { return cuts.Next(); });
    CheckRules(seeded);
    const Record whole = RunStream(data, size, failingSend, [] { return 0; });
    Check(whole == seeded);
    // Byte by byte moves the unfinished line once per byte: only for the shorter streams.
    if (size <= 2048) {
        const Record bytewise = RunStream(data, size, failingSend, [] { return 1; });
        Check(bytewise == seeded);
    }
    return 0;
}
