// corvane-remote: discover computers running CorvaneServer, send them command lines, or drive a
// slideshow from the keyboard. `corvane-remote --help` tells the rest.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/socket.h"
#include "remote/connection.h"
#include "remote/discovery_client.h"
#include "remote/options.h"
#include "remote/present.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string Via(const DiscoveredComputer& c) {
    std::string via;
    for (auto [on, text] : {std::pair{c.broadcast, "broadcast"},
                            std::pair{c.multicast, "multicast"}, std::pair{c.direct, "direct"}}) {
        if (!on) continue;
        if (!via.empty()) via += ",";
        via += text;
    }
    return via;
}

int RunDiscover(const RemoteOptions& options) {
    DiscoveryRequest request;
    request.probe = ProbeText(options.clientId, "corvane-remote");
    request.listenMs = options.listenMs;
    if (!options.host.empty()) {
        if (!ResolveIpv4(options.host, &request.direct)) {
            Complain("cannot find the address of " + options.host);
            return kExitFailure;
        }
    }
    DiscoveryOutcome outcome = Discover(request);
    if (outcome.probesSent == 0) {
        Complain("could not send any discovery probe:\n" + outcome.errors);
        return kExitFailure;
    }
    std::vector<DiscoveredComputer>& found = outcome.computers;
    if (found.empty()) {
        std::string probed = request.direct != 0 ? "the probe to " + FormatIpv4(request.direct) +
                                                       ":" + std::to_string(kProbePort)
                                                 : "the broadcast and multicast probes";
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g s", options.listenMs / 1000.0);
        Complain("no computer answered " + probed + " within " + seconds);
        return kExitNoAnswer;
    }
    std::sort(found.begin(), found.end(),
              [](const DiscoveredComputer& a, const DiscoveredComputer& b) {
                  return FormatIpv4(a.from) < FormatIpv4(b.from);
              });
    std::printf("%-17s  %-5s  %-15s  %-19s  %s\n", "HARDWARE ADDRESS", "PORT", "ADDRESS",
                "ANSWERED", "NAME");
    for (const DiscoveredComputer& c : found) {
        std::printf("%-17s  %-5d  %-15s  %-19s  %s\n", c.hardwareAddress.c_str(), c.port,
                    FormatIpv4(c.from).c_str(), Via(c).c_str(), c.name.c_str());
    }
    std::fflush(stdout);
    if (!outcome.errors.empty()) {
        std::fprintf(stderr, "corvane-remote: some probes were not sent:\n%s",
                     outcome.errors.c_str());
    }
    return kExitOk;
}

int RunSend(const RemoteOptions& options) {
    RemoteConnection connection;
    std::string where;
    int status = OpenSession(options, &connection, &where);
    if (status != kExitOk) return status;
    for (const std::string& line : options.lines) {
        // The computer handles a connection's lines strictly in order and answers each before
        // it reads the next, so the answer to a Heartbeat sent behind `line` marks the end of
        // whatever `line` answered.
        if (!connection.SendLine(line) || !connection.SendLine("Heartbeat:")) {
            Complain("the connection to " + where + " broke while sending " + line);
            return kExitFailure;
        }
        int heartbeats = line.compare(0, 10, "Heartbeat:") == 0 ? 2 : 1;
        while (heartbeats > 0) {
            std::string answer;
            switch (connection.ReadLine(&answer, options.timeoutMs)) {
                case RemoteConnection::Read::kLine:
                    break;
                case RemoteConnection::Read::kTimedOut:
                    Complain(where + " did not answer " + line + " in time");
                    return kExitNoAnswer;
                case RemoteConnection::Read::kClosed:
                    Complain(where + " closed the connection after " + line);
                    return kExitFailure;
            }
            if (answer == "Heartbeat:\n" && --heartbeats == 0) break;
            std::fputs(answer.c_str(), stdout);
            std::fflush(stdout);
        }
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Computer names arrive in UTF-8.
    SetConsoleOutputCP(CP_UTF8);
#endif
    std::string host = HostComputerName();
    RemoteOptions options;
    std::string error = ParseOptions(argc, argv, std::getenv("CORVANE_PASSWORD"),
                                     host.empty() ? "corvane-remote" : host, &options);
    if (!error.empty()) {
        Complain(error);
        std::fprintf(stderr, "Try 'corvane-remote --help'.\n");
        return kExitUsage;
    }
    using Command = RemoteOptions::Command;
    if (options.command == Command::kHelp) {
        std::fputs(UsageText(), stdout);
        return kExitOk;
    }
    if (options.command == Command::kVersion) {
        std::printf("corvane-remote %d.%d.%d.%d\n", CORVANE_VERSION_MAJOR, CORVANE_VERSION_MINOR,
                    CORVANE_VERSION_PATCH, CORVANE_VERSION_TWEAK);
        return kExitOk;
    }
    if (SocketLibraryStartup() != 0) {
        Complain("the socket library did not start");
        return kExitFailure;
    }
    int status = kExitFailure;
    switch (options.command) {
        case Command::kDiscover:
            status = RunDiscover(options);
            break;
        case Command::kSend:
            status = RunSend(options);
            break;
        case Command::kPresent:
            status = RunPresent(options);
            break;
        default:
            break;
    }
    SocketLibraryCleanup();
    return status;
}
