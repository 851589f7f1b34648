// The discovery side of the service: probes on the UDP port and on the multicast group.
#include <algorithm>
#include <cstring>
#include <ctime>

#include "platform/multicast.h"
#include "service/service_state.h"
#include "support/log.h"

namespace {

constexpr int kDatagramLimit = 8192;
constexpr int kDiscoveryErrorLimit = 20;
constexpr std::int64_t kRefreshSeconds = 15;
constexpr int kMaxWaitSockets = 64;

// Per-thread buffers of a discovery thread.
struct ProbeBuffers {
    char data[kDatagramLimit + 16];
    char reply[kReplyBufferSize];
};

// Handles one received datagram of n bytes in `b.data`; returns the reply length (0: none).
int AnswerDatagram(ServiceState* server, ProbeBuffers& b, int n) {
    if (n <= 0) return 0;
    b.data[n] = '\0';
    if (std::strncmp(b.data, "Vola:", 5) != 0) return 0;
    char* body = b.data + 5;
    char* comma = std::strchr(body, ',');
    char* lf = std::strrchr(body, '\n');
    if (lf != nullptr) *lf = '\0';
    const char* parameter = "";
    // A comma behind the cut line feed no longer belongs to the probe.
    if (comma != nullptr && (lf == nullptr || comma < lf)) {
        *comma = '\0';
        parameter = comma + 1;
    }
    if (server->discoveryHandler == nullptr) return 0;
    int length = server->discoveryHandler(body, parameter, b.reply, server->owner);
    return std::min(length, kReplyBufferSize);
}

void DropAllMulticast(ServiceState* server) { server->CloseMulticastSockets(); }

}  // namespace

void UdpResponderLoop(ServiceState* server) {
    auto buffers = std::make_unique<ProbeBuffers>();
    int errors = 0;
    if (server->stop.Stopped()) return;
    for (;;) {
        while (server->udpSocket == kNoSocket && !server->stop.Stopped()) {
            if (server->OpenUdpSocket() == 0) break;
            server->stop.SleepFor(std::chrono::milliseconds(1000));
        }
        if (server->stop.Stopped()) break;
        SocketHandle s = server->udpSocket;
        bool failed = false;
        int ready = WaitReadable(s, 1000);
        // A socket closed by Stop makes the wait fail: that is no error to log.
        if (ready < 0 && server->stop.Stopped()) break;
        if (ready == 0) {
            errors = 0;
        } else if (ready < 0) {
            LogPrintf("UDP Select Error.<%d>\n", SocketLastError());
            failed = true;
        } else {
            Ipv4Endpoint from;
            int n = ReceiveDatagram(s, buffers->data, kDatagramLimit, &from);
            if (n < 0) {
                failed = true;
            } else {
                errors = 0;
                int length = AnswerDatagram(server, *buffers, n);
                if (length > 0) SendDatagram(s, buffers->reply, length, from);
            }
        }
        if (failed && ++errors > kDiscoveryErrorLimit) {
            CloseSocket(server->udpSocket.exchange(kNoSocket));
            errors = 0;
        }
        if (server->stop.Stopped()) break;
    }
    // A socket opened while Stop was running is ours to close.
    CloseSocket(server->udpSocket.exchange(kNoSocket));
}

void MulticastResponderLoop(ServiceState* server) {
    auto buffers = std::make_unique<ProbeBuffers>();
    std::int64_t lastRefresh = std::time(nullptr);
    int errors = 0;
    std::uint32_t group = 0;
    ParseIpv4(kMulticastGroup, &group);
    auto isEmpty = [server] {
        std::lock_guard<std::mutex> guard(server->multicastLock);
        return server->multicastSockets.empty();
    };
    while (!server->stop.Stopped()) {
        while (isEmpty() && !server->stop.Stopped()) {
            server->OpenMulticastSockets();
            if (!isEmpty()) break;
            server->stop.SleepFor(std::chrono::milliseconds(1000));
        }
        if (server->stop.Stopped()) break;

        std::int64_t now = std::time(nullptr);
        bool refresh =
            (now > lastRefresh ? now - lastRefresh : lastRefresh - now) > kRefreshSeconds;
        if (refresh) lastRefresh = now;

        // Copy the list: Stop may close its sockets while we wait, never reshape it.
        std::vector<MulticastSocket> entries;
        {
            std::lock_guard<std::mutex> guard(server->multicastLock);
            entries = server->multicastSockets;
        }
        bool rebuild = false;
        std::vector<SocketHandle> waitSet;
        for (const MulticastSocket& m : entries) {
            if (refresh) {
                DropMembership(m.socket, group, m.interfaceAddress);
                SetMulticastInterface(m.socket, m.interfaceAddress);
                if (!AddMembership(m.socket, group, m.interfaceAddress)) {
                    LogPrintf("IP_ADD_MEMBERSHIP to %s Error<%d>\n",
                              FormatIpv4(m.interfaceAddress).c_str(), SocketLastError());
                    rebuild = true;
                    break;
                }
            }
            if (waitSet.size() < kMaxWaitSockets &&
                std::find(waitSet.begin(), waitSet.end(), m.socket) == waitSet.end()) {
                waitSet.push_back(m.socket);
            }
        }
        if (rebuild) {
            DropAllMulticast(server);
            continue;
        }

        std::unique_ptr<bool[]> readable(new bool[waitSet.size() + 1]);
        int ready =
            WaitReadableAny(waitSet.data(), readable.get(), static_cast<int>(waitSet.size()), 1000);
        if (ready < 0) {
            if (server->stop.Stopped()) break;
            LogPrintf("Multicast Select Error.<%d>\n", SocketLastError());
            if (++errors > kDiscoveryErrorLimit) {
                errors = 0;
                DropAllMulticast(server);
            }
            continue;
        }
        if (ready == 0) {
            if (server->stop.Stopped()) break;
            errors = 0;
            continue;
        }
        for (const MulticastSocket& m : entries) {
            size_t slot = static_cast<size_t>(std::find(waitSet.begin(), waitSet.end(), m.socket) -
                                              waitSet.begin());
            if (slot >= waitSet.size() || !readable[slot]) continue;
            Ipv4Endpoint from;
            int n = ReceiveDatagram(m.socket, buffers->data, kDatagramLimit, &from);
            if (n < 0) {
                if (server->stop.Stopped()) return;
                if (++errors > kDiscoveryErrorLimit) {
                    errors = 0;
                    DropAllMulticast(server);
                    break;
                }
                continue;
            }
            int length = AnswerDatagram(server, *buffers, n);
            if (length > 0) {
                SendDatagramFrom(m.socket, buffers->reply, length, from, m.interfaceAddress);
            }
        }
    }
    // Sockets opened while Stop was running are ours to close; Stop closed the others.
    std::lock_guard<std::mutex> guard(server->multicastLock);
    for (MulticastSocket& m : server->multicastSockets) {
        CloseSocket(m.socket);
        m.socket = kNoSocket;
    }
}
