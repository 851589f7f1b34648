#include "remote/connection.h"

#include <chrono>
#include <cstdio>

#include "remote/discovery_client.h"

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::string Seconds(int ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", ms / 1000.0);
    return text;
}

// The computer to use: the --host, or the first computer that answers the probes.
int FindComputer(const RemoteOptions& options, Ipv4Endpoint* to, std::string* where) {
    if (!options.host.empty()) {
        if (!ResolveIpv4(options.host, &to->address)) {
            Complain("cannot find the address of " + options.host);
            return kExitFailure;
        }
        to->port = options.port;
        *where = FormatIpv4(to->address) + ":" + std::to_string(to->port);
        if (options.host != FormatIpv4(to->address)) *where = options.host + " (" + *where + ")";
        return kExitOk;
    }
    DiscoveryRequest request;
    request.probe = ProbeText(options.clientId, "corvane-remote");
    request.listenMs = options.listenMs;
    request.stopAtFirst = true;
    DiscoveryOutcome outcome = Discover(request);
    if (outcome.computers.empty()) {
        if (outcome.probesSent == 0) {
            Complain("could not send any discovery probe:\n" + outcome.errors +
                     "name the computer with --host");
            return kExitFailure;
        }
        Complain("no computer answered the discovery probes within " + Seconds(options.listenMs) +
                 "; name it with --host");
        return kExitNoAnswer;
    }
    const DiscoveredComputer& c = outcome.computers.front();
    to->address = c.from;
    to->port = options.portGiven ? options.port : static_cast<std::uint16_t>(c.port);
    *where = c.name + " at " + FormatIpv4(to->address) + ":" + std::to_string(to->port);
    std::fprintf(stderr, "corvane-remote: using %s\n", where->c_str());
    return kExitOk;
}

}  // namespace

void Complain(const std::string& text) {
    std::fprintf(stderr, "corvane-remote: %s\n", text.c_str());
    std::fflush(stderr);
}

RemoteConnection::~RemoteConnection() { CloseSocket(socket_); }

ConnectResult RemoteConnection::Connect(const Ipv4Endpoint& to, int timeoutMs, int* error) {
    CloseSocket(socket_);
    pending_.clear();
    *error = 0;
    socket_ = OpenTcpSocket();
    if (socket_ == kNoSocket) {
        *error = SocketLastError();
        return ConnectResult::kFailed;
    }
    ConnectResult result = ConnectWithin(socket_, to, timeoutMs);
    if (result != ConnectResult::kConnected) {
        *error = SocketLastError();
        CloseSocket(socket_);
        socket_ = kNoSocket;
    }
    return result;
}

bool RemoteConnection::SendLine(const std::string& line) {
    std::string data = line + "\n";
    return SendAll(socket_, data.data(), static_cast<int>(data.size())) ==
           static_cast<int>(data.size());
}

RemoteConnection::Read RemoteConnection::ReadLine(std::string* line, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t lf = pending_.find('\n');
        if (lf != std::string::npos) {
            line->assign(pending_, 0, lf + 1);
            pending_.erase(0, lf + 1);
            return Read::kLine;
        }
        int ready = WaitReadable(socket_, RemainingMs(deadline));
        if (ready == 0) return Read::kTimedOut;
        if (ready < 0) return Read::kClosed;
        char buffer[16384];
        int n = ReceiveSome(socket_, buffer, sizeof buffer);
        if (n <= 0) return Read::kClosed;
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

int OpenSession(const RemoteOptions& options, RemoteConnection* connection, std::string* where) {
    Ipv4Endpoint to;
    int status = FindComputer(options, &to, where);
    if (status != kExitOk) return status;

    int error = 0;
    switch (connection->Connect(to, options.timeoutMs, &error)) {
        case ConnectResult::kConnected:
            break;
        case ConnectResult::kRefused:
            Complain(*where + " refused the connection: nothing listens on port " +
                     std::to_string(to.port) + " (is CorvaneServer running there?)");
            return kExitRefused;
        case ConnectResult::kTimedOut:
            Complain("no answer from " + *where + " within " + Seconds(options.timeoutMs) +
                     " (wrong address, or a firewall in the way?)");
            return kExitNoAnswer;
        case ConnectResult::kFailed:
            Complain("cannot connect to " + *where + ": " + SocketErrorText(error));
            return kExitFailure;
    }

    std::string login = "Login:" + options.clientId;
    if (!options.name.empty()) login += "," + options.name;
    login += "," + options.password;
    if (!connection->SendLine(login)) {
        Complain("the connection to " + *where + " broke during the login");
        return kExitFailure;
    }
    std::string answer;
    switch (connection->ReadLine(&answer, options.timeoutMs)) {
        case RemoteConnection::Read::kLine:
            break;
        case RemoteConnection::Read::kTimedOut:
            Complain(*where + " did not answer the login within " + Seconds(options.timeoutMs));
            return kExitNoAnswer;
        case RemoteConnection::Read::kClosed:
            Complain(*where + " closed the connection during the login");
            return kExitFailure;
    }
    if (answer == "Login:OK\n") return kExitOk;
    if (answer == "Login:ER\n") {
        Complain("wrong password: " + *where +
                 " refused the login (after 5 wrong passwords in a row it refuses every login "
                 "from this address for a minute)");
        return kExitWrongPassword;
    }
    if (!answer.empty() && answer.back() == '\n') answer.pop_back();
    Complain("unexpected answer to the login from " + *where + ": " + answer);
    return kExitFailure;
}
