#include "service/line_session.h"

#include <cstring>

#include "platform/socket.h"
#include "service/service_state.h"
#include "support/log.h"
#include "support/trace.h"

LineSession::LineSession(ServiceState& server, ReplyChannel& replies, std::uint32_t peerAddress)
    : server_(server), replies_(replies), peerAddress_(peerAddress) {}

bool LineSession::Received(int count) {
    if (count <= 0 || count > ReceiveRoom()) return false;
    const int end = fill_ + count;
    buffer_[end] = '\0';
    char* start = buffer_;
    while (char* lf = static_cast<char*>(std::memchr(start, '\n', buffer_ + end - start))) {
        *lf = '\0';
        if (!HandleLine(start)) return false;
        start = lf + 1;
    }
    fill_ = static_cast<int>(buffer_ + end - start);
    if (fill_ > 0) {
        TracePrintf("-----TEST. Reset Data.\n");
        std::memmove(buffer_, start, static_cast<size_t>(fill_));
    }
    return true;
}

bool LineSession::HandleLogin(char* parameter) {
    char* comma = std::strrchr(parameter, ',');
    if (comma == nullptr) {
        TracePrintf("Invalid Command Partten 2.\n");
        return false;
    }
    *comma = '\0';
    const char* given = comma + 1;
    clientId_ = parameter;

    LoginThrottle& throttle = server_.throttle;
    const bool right = !throttle.IsLocked(peerAddress_) && server_.PasswordMatches(given);
    if (!right) {
        if (!replies_.Send("Login:ER\n", 9)) return false;
        if (throttle.RecordFailure(peerAddress_)) {
            LogPrintf("Logins from %s refused for %d seconds after %d wrong passwords.\n",
                      FormatIpv4(peerAddress_).c_str(), int(LoginThrottle::kLockSeconds),
                      LoginThrottle::kMaxFailures);
        }
        return true;
    }
    throttle.RecordSuccess(peerAddress_);
    if (!replies_.Send("Login:OK\n", 9)) return false;
    loggedIn_ = true;
    const char* nameComma = std::strchr(clientId_.c_str(), ',');
    const char* name = nameComma != nullptr ? nameComma + 1 : "";
    if (server_.commandHandler != nullptr) {
        server_.commandHandler(clientId_.c_str(), "Login", name, reply_, server_.owner);
    }
    return true;
}

bool LineSession::HandleLine(char* line) {
    char* colon = std::strchr(line, ':');
    if (colon == nullptr) {
        TracePrintf("Invalid Command Partten.\n");
        return false;
    }
    *colon = '\0';
    const char* command = line;
    char* parameter = colon + 1;
    if (std::strcmp(command, "Login") == 0) return HandleLogin(parameter);
    if (!loggedIn_) return false;
    if (std::strcmp(command, "Heartbeat") == 0) return replies_.Send("Heartbeat:\n", 11);
    if (server_.commandHandler == nullptr) return true;
    int n = server_.commandHandler(clientId_.c_str(), command, parameter, reply_, server_.owner);
    if (n <= 0) return true;
    return replies_.Send(reply_, n < kReplyBufferSize ? n : kReplyBufferSize);
}
