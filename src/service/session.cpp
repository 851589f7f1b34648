// The TCP side of the service: accepting phones and the thread that serves each connection.
#include <ctime>
#include <memory>

#include "platform/detached_thread.h"
#include "service/line_session.h"
#include "service/service_state.h"
#include "support/log.h"
#include "support/trace.h"

namespace {

constexpr int kAcceptErrorLimit = 10;

std::int64_t WallSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

class SocketReplies : public ReplyChannel {
public:
    explicit SocketReplies(SocketHandle socket) : socket_(socket) {}
    bool Send(const char* data, int length) override {
        return SendAll(socket_, data, length) == length;
    }

private:
    SocketHandle socket_;
};

void RunConnection(std::shared_ptr<ServiceState> server, SocketHandle socket, Ipv4Endpoint peer) {
    RunSession(server.get(), socket, peer);
    server->EndConnection(socket);
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
                // A peer that stops reading must not hold its thread in a send for ever.
                SetSendTimeout(s, server->options.sendTimeoutMs);
                // Counted before the thread starts, so the count never drops below zero.
                if (!server->BeginConnection(s)) return;  // stopped meanwhile; socket closed
                if (!StartDetachedThread([self = server->shared_from_this(), s, peer] {
                        RunConnection(self, s, peer);
                    })) {
                    server->EndConnection(s);
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
    SocketReplies replies(socket);
    auto session = std::make_unique<LineSession>(*server, replies, peer.address);
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
            int n = ReceiveSome(socket, session->ReceiveSpace(), session->ReceiveRoom());
            if (n <= 0 || !session->Received(n)) return;
        }
        if (server->stop.Stopped()) return;
    }
}
