// One phone connection's protocol, apart from its socket: the framing of received bytes into
// lines, the login, the heartbeat and the hand-over of every other line to the command handler.
// The connection thread feeds it what the socket delivers; the line fuzzer feeds it directly.
//
// Thread contract: one thread drives a session (its connection thread); the service it is given
// is shared with the other connections.
#pragma once

#include <cstdint>
#include <string>

#include "service/handlers.h"

class ServiceState;

// Where a session's replies go.
class ReplyChannel {
public:
    virtual ~ReplyChannel() = default;
    // Sends all `length` bytes; false when they could not all go. The connection is closed then:
    // a reply cut short would leave the phone reading garbage.
    virtual bool Send(const char* data, int length) = 0;
};

class LineSession {
public:
    // A line, its line feed included, is at most this long.
    static constexpr int kLineLimit = 8192;

    LineSession(ServiceState& server, ReplyChannel& replies, std::uint32_t peerAddress);
    LineSession(const LineSession&) = delete;
    LineSession& operator=(const LineSession&) = delete;

    // Where the next received bytes go and how many fit behind the unfinished line. No room
    // means 8,192 bytes without a line feed: the receive asks for nothing, gets nothing and the
    // connection ends.
    char* ReceiveSpace() { return buffer_ + fill_; }
    int ReceiveRoom() const { return kLineLimit - fill_; }
    // Handles `count` bytes just placed at ReceiveSpace(): every line they complete, in order.
    // False when the connection is to be closed (at once, without handling further lines).
    bool Received(int count);

    bool LoggedIn() const { return loggedIn_; }

private:
    bool HandleLine(char* line);
    bool HandleLogin(char* parameter);

    ServiceState& server_;
    ReplyChannel& replies_;
    std::uint32_t peerAddress_;
    bool loggedIn_ = false;
    std::string clientId_;
    // Received bytes: the start is always the start of an unfinished line; room for a NUL.
    int fill_ = 0;
    char buffer_[kLineLimit + 16];
    char reply_[kReplyBufferSize];
};
