#include "remote/discovery_client.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "platform/adapters.h"
#include "platform/multicast.h"
#include "platform/socket.h"

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A probe socket: bound to one interface's address (0: any, the routing table decides).
struct ProbeSocket {
    SocketHandle socket = kNoSocket;
    std::uint32_t interfaceAddress = 0;
};

std::uint32_t Dotted(const char* text) {
    std::uint32_t a = 0;
    ParseIpv4(text, &a);
    return a;
}

bool IsLoopback(std::uint32_t address) {
    return (reinterpret_cast<const unsigned char*>(&address)[0]) == 127;
}

void Note(std::string* errors, const std::string& text) {
    *errors += text + ": " + SocketErrorText(SocketLastError()) + "\n";
}

// Interface addresses to send broadcast and multicast probes from.
std::vector<std::uint32_t> ProbeInterfaces() {
    std::vector<std::uint32_t> addresses;
    std::vector<AdapterInfo> adapters;
    if (ReadAdapterTable(&adapters) != AdapterTableResult::kOk) return addresses;
    for (const AdapterInfo& adapter : adapters) {
        std::uint32_t a = 0;
        if (!ParseIpv4(adapter.firstAddress.c_str(), &a) || a == 0 || IsLoopback(a)) continue;
        if (std::find(addresses.begin(), addresses.end(), a) == addresses.end()) {
            addresses.push_back(a);
        }
    }
    return addresses;
}

ProbeSocket OpenProbeSocket(std::uint32_t interfaceAddress, std::string* errors) {
    ProbeSocket p;
    p.interfaceAddress = interfaceAddress;
    p.socket = OpenUdpSocket4();
    std::string where = interfaceAddress != 0 ? " on " + FormatIpv4(interfaceAddress) : "";
    if (p.socket == kNoSocket) {
        Note(errors, "cannot open a datagram socket" + where);
        return p;
    }
    bool ok = BindSocket(p.socket, interfaceAddress, 0) && EnableBroadcast(p.socket) &&
              SetMulticastTtl(p.socket, 1) &&
              (interfaceAddress == 0 || SetMulticastInterface(p.socket, interfaceAddress));
    if (!ok) {
        Note(errors, "cannot prepare a probe socket" + where);
        CloseSocket(p.socket);
        p.socket = kNoSocket;
    }
    return p;
}

}  // namespace

bool ParseDiscoveryAnswer(const std::string& datagram, std::string* hardwareAddress,
                          std::string* name, int* port) {
    if (datagram.compare(0, 5, "Vola:") != 0) return false;
    std::string body = datagram.substr(5);
    if (!body.empty() && body.back() == '\n') body.pop_back();
    if (body.find('\n') != std::string::npos) return false;
    size_t first = body.find(',');
    size_t last = body.rfind(',');
    if (first == std::string::npos || last == first) return false;
    std::string portText = body.substr(last + 1);
    if (portText.empty() || portText.size() > 5 ||
        portText.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    int value = std::atoi(portText.c_str());
    if (value < 1 || value > 65535) return false;
    *hardwareAddress = body.substr(0, first);
    *name = body.substr(first + 1, last - first - 1);
    *port = value;
    return true;
}

std::string ProbeText(const std::string& clientId, const std::string& parameter) {
    return "Vola:" + clientId + "," + parameter + "\n";
}

void RecordAnswer(std::vector<DiscoveredComputer>* found, const std::string& datagram,
                  std::uint32_t from, std::uint16_t probePort, bool direct) {
    DiscoveredComputer c;
    if (!ParseDiscoveryAnswer(datagram, &c.hardwareAddress, &c.name, &c.port)) return;
    c.from = from;
    auto same = [&](const DiscoveredComputer& e) { return e.from == from && e.port == c.port; };
    auto it = std::find_if(found->begin(), found->end(), same);
    if (it == found->end()) {
        found->push_back(c);
        it = found->end() - 1;
    }
    if (direct) {
        it->direct = true;
    } else if (probePort == kGroupPort) {
        it->multicast = true;
    } else {
        it->broadcast = true;
    }
}

DiscoveryOutcome Discover(const DiscoveryRequest& request) {
    DiscoveryOutcome outcome;
    std::vector<ProbeSocket> sockets;
    std::vector<Ipv4Endpoint> targets;
    if (request.direct != 0) {
        ProbeSocket p = OpenProbeSocket(0, &outcome.errors);
        if (p.socket != kNoSocket) sockets.push_back(p);
        targets.push_back({request.direct, kProbePort});
    } else {
        // One socket per interface, so the probes leave through every network this computer is
        // on and not only through the one the routing table prefers.
        for (std::uint32_t a : ProbeInterfaces()) {
            ProbeSocket p = OpenProbeSocket(a, &outcome.errors);
            if (p.socket != kNoSocket) sockets.push_back(p);
        }
        outcome.interfaces = static_cast<int>(sockets.size());
        if (sockets.empty()) {
            ProbeSocket p = OpenProbeSocket(0, &outcome.errors);
            if (p.socket != kNoSocket) sockets.push_back(p);
        }
        targets.push_back({Dotted("255.255.255.255"), kProbePort});
        targets.push_back({Dotted(kGroupAddress), kGroupPort});
    }

    auto sendProbes = [&] {
        for (const ProbeSocket& p : sockets) {
            for (const Ipv4Endpoint& to : targets) {
                int n = SendDatagram(p.socket, request.probe.data(),
                                     static_cast<int>(request.probe.size()), to);
                if (n == static_cast<int>(request.probe.size())) {
                    ++outcome.probesSent;
                } else {
                    std::string from =
                        p.interfaceAddress != 0 ? " from " + FormatIpv4(p.interfaceAddress) : "";
                    Note(&outcome.errors, "probe to " + FormatIpv4(to.address) + ":" +
                                              std::to_string(to.port) + from + " not sent");
                }
            }
        }
    };

    auto start = Clock::now();
    auto deadline = start + std::chrono::milliseconds(request.listenMs);
    // A second round of probes in case the first was lost (a link that just came up, a busy
    // wireless network); the answers are merged.
    auto resend = start + std::chrono::milliseconds(std::min(500, request.listenMs / 3));
    bool resent = false;
    sendProbes();
    std::vector<SocketHandle> handles;
    for (const ProbeSocket& p : sockets) handles.push_back(p.socket);
    std::unique_ptr<bool[]> flags(new bool[handles.size() + 1]);
    while (!handles.empty() && outcome.probesSent > 0) {
        int wait = RemainingMs(deadline);
        if (!resent) wait = std::min(wait, RemainingMs(resend));
        if (wait == 0 && RemainingMs(deadline) == 0) break;
        int ready =
            WaitReadableAny(handles.data(), flags.get(), static_cast<int>(handles.size()), wait);
        if (ready < 0) {
            Note(&outcome.errors, "waiting for answers failed");
            break;
        }
        for (size_t i = 0; ready > 0 && i < handles.size(); ++i) {
            if (!flags[i]) continue;
            char buffer[9000];
            Ipv4Endpoint from;
            int n = ReceiveDatagram(handles[i], buffer, sizeof buffer, &from);
            if (n <= 0) continue;
            RecordAnswer(&outcome.computers, std::string(buffer, static_cast<size_t>(n)),
                         from.address, from.port, request.direct != 0);
        }
        if (request.stopAtFirst && !outcome.computers.empty()) break;
        if (!resent && RemainingMs(resend) == 0) {
            resent = true;
            sendProbes();
        }
    }
    for (const ProbeSocket& p : sockets) CloseSocket(p.socket);
    return outcome;
}
