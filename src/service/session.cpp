// The TCP side of the service: accepting phones and the line protocol of one connection.
#include <cstring>
#include <ctime>
#include <memory>

#include "service/service_state.h"
#include "support/log.h"
#include "support/trace.h"

namespace {

constexpr int kLineLimit = 8192;
constexpr int kAcceptErrorLimit = 10;

std::int64_t WallSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

void SendText(SocketHandle s, const char* text) {
    SendAll(s, text, static_cast<int>(std::strlen(text)));
}

void RunConnection(std::shared_ptr<ServiceState> server, SocketHandle socket, Ipv4Endpoint peer) {
    RunSession(server.get(), socket, peer);
    CloseSocket(socket);
    server->activeConnections.fetch_sub(1);
}

// One connection's state, local to its thread.
struct Session {
    ServiceState* server;
    SocketHandle socket;
    Ipv4Endpoint peer;
    bool loggedIn = false;
    std::string clientId;
    char reply[kReplyBufferSize];

    // Handles one complete line (without its line feed); false closes the connection.
    bool HandleLine(char* line);
    bool HandleLogin(char* parameter);
};

bool Session::HandleLogin(char* parameter) {
    char* comma = std::strrchr(parameter, ',');
    if (comma == nullptr) {
        TracePrintf("Invalid Command Partten 2.\n");
        return false;
    }
    *comma = '\0';
    const char* given = comma + 1;
    clientId = parameter;

    LoginThrottle& throttle = server->throttle;
    bool right = !throttle.IsLocked(peer.address) && server->PasswordMatches(given);
    if (!right) {
        if (SendAll(socket, "Login:ER\n", 9) != 9) return false;
        if (throttle.RecordFailure(peer.address)) {
            LogPrintf("Logins from %s refused for %d seconds after %d wrong passwords.\n",
                      FormatIpv4(peer.address).c_str(), int(LoginThrottle::kLockSeconds),
                      LoginThrottle::kMaxFailures);
        }
        return true;
    }
    throttle.RecordSuccess(peer.address);
    if (SendAll(socket, "Login:OK\n", 9) != 9) return false;
    loggedIn = true;
    const char* nameComma = std::strchr(clientId.c_str(), ',');
    const char* name = nameComma != nullptr ? nameComma + 1 : "";
    if (server->commandHandler != nullptr) {
        server->commandHandler(clientId.c_str(), "Login", name, reply, server->owner);
    }
    return true;
}

bool Session::HandleLine(char* line) {
    char* colon = std::strchr(line, ':');
    if (colon == nullptr) {
        TracePrintf("Invalid Command Partten.\n");
        return false;
    }
    *colon = '\0';
    const char* command = line;
    char* parameter = colon + 1;
    if (std::strcmp(command, "Login") == 0) return HandleLogin(parameter);
    if (!loggedIn) return false;
    if (std::strcmp(command, "Heartbeat") == 0) {
        SendText(socket, "Heartbeat:\n");
        return true;
    }
    if (server->commandHandler == nullptr) return true;
    int n = server->commandHandler(clientId.c_str(), command, parameter, reply, server->owner);
    if (n > 0) SendAll(socket, reply, n < kReplyBufferSize ? n : kReplyBufferSize);
    return true;
}

}  // namespace

void AcceptLoop(ServiceState* server) {
    int errors = 0;
    if (server->stop.Stopped()) return;
    for (;;) {
        while (server->listenSocket == kNoSocket && !server->stop.Stopped()) {
            if (server->OpenListenSocket() == 0) break;
            server->stop.SleepFor(std::chrono::milliseconds(1000));
        }
        if (server->stop.Stopped()) return;
        SocketHandle listener = server->listenSocket;
        bool failed = false;
        int ready = WaitReadable(listener, 1000);
        // A socket closed by Stop makes the wait or the accept fail: that is no error to log.
        if (ready != 0 && server->stop.Stopped()) return;
        if (ready < 0) {
            LogPrintf("TCP Select Accept Error.<%d>\n", SocketLastError());
            failed = true;
        } else if (ready == 0) {
            errors = 0;
        } else {
            Ipv4Endpoint peer;
            SocketHandle s = AcceptSocket(listener, &peer);
            if (s == kNoSocket) {
                if (server->stop.Stopped()) return;
                LogPrintf("TCP Accept Error. <%d>\n", SocketLastError());
                failed = true;
            } else {
                errors = 0;
                // Counted before the thread starts, so the count never drops below zero.
                server->activeConnections.fetch_add(1);
                try {
                    std::thread(RunConnection, server->shared_from_this(), s, peer).detach();
                } catch (const std::system_error&) {
                    server->activeConnections.fetch_sub(1);
                    CloseSocket(s);
                }
            }
        }
        if (failed) {
            if (++errors > kAcceptErrorLimit) {
                CloseSocket(server->listenSocket.exchange(kNoSocket));
                errors = 0;
            }
            server->stop.SleepFor(std::chrono::milliseconds(100));
        }
        if (server->stop.Stopped()) break;
    }
}

void RunSession(ServiceState* server, SocketHandle socket, const Ipv4Endpoint& peer) {
    auto session = std::make_unique<Session>();
    session->server = server;
    session->socket = socket;
    session->peer = peer;
    char buffer[kLineLimit + 16];
    int fill = 0;
    std::int64_t lastActivity = WallSeconds();
    if (server->stop.Stopped()) return;
    for (;;) {
        std::int64_t now = WallSeconds();
        int ready = WaitReadable(socket, 1000);
        if (ready < 0) return;
        if (ready == 0) {
            std::int64_t idle = now - lastActivity;
            if (idle < 0) idle = -idle;
            if (idle >= server->options.idleTimeoutSeconds) return;
        } else {
            lastActivity = now;
            // With a full buffer and no line feed this asks for 0 bytes, gets 0 and closes.
            int n = ReceiveSome(socket, buffer + fill, kLineLimit - fill);
            if (n <= 0) return;
            int end = fill + n;
            buffer[end] = '\0';
            char* start = buffer;
            while (char* lf = static_cast<char*>(std::memchr(start, '\n', buffer + end - start))) {
                *lf = '\0';
                if (!session->HandleLine(start)) return;
                start = lf + 1;
            }
            fill = static_cast<int>(buffer + end - start);
            if (fill > 0) {
                TracePrintf("-----TEST. Reset Data.\n");
                std::memmove(buffer, start, static_cast<size_t>(fill));
            }
        }
        if (server->stop.Stopped()) return;
    }
}
