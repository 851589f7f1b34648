#include "phone_client.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

std::uint32_t Loopback() {
    std::uint32_t a = 0;
    ParseIpv4("127.0.0.1", &a);
    return a;
}

PhoneClient::PhoneClient(std::uint16_t port) {
    SocketHandle s = OpenTcpSocket();
    if (s != kNoSocket && ConnectSocket(s, {Loopback(), port})) {
        socket_ = s;
    } else {
        CloseSocket(s);
    }
}

PhoneClient::~PhoneClient() { CloseSocket(socket_); }

bool PhoneClient::Send(const std::string& bytes) {
    return SendAll(socket_, bytes.data(), static_cast<int>(bytes.size())) ==
           static_cast<int>(bytes.size());
}

std::string PhoneClient::Read(size_t count, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pending_.size() < count) {
        if (WaitReadable(socket_, RemainingMs(deadline)) <= 0) break;
        char buffer[16384];
        int n = ReceiveSome(socket_, buffer, sizeof buffer);
        if (n <= 0) break;
        pending_.append(buffer, static_cast<size_t>(n));
    }
    std::string out = pending_.substr(0, count);
    pending_.erase(0, out.size());
    return out;
}

std::string PhoneClient::ReadLine(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t lf = pending_.find('\n');
        if (lf != std::string::npos) {
            std::string line = pending_.substr(0, lf + 1);
            pending_.erase(0, lf + 1);
            return line;
        }
        if (WaitReadable(socket_, RemainingMs(deadline)) <= 0) break;
        char buffer[16384];
        int n = ReceiveSome(socket_, buffer, sizeof buffer);
        if (n <= 0) break;
        pending_.append(buffer, static_cast<size_t>(n));
    }
    std::string rest;
    rest.swap(pending_);
    return rest;
}

bool PhoneClient::WaitClosed(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int ready = WaitReadable(socket_, RemainingMs(deadline));
        if (ready < 0) return true;
        if (ready == 0) return false;
        char buffer[16384];
        if (ReceiveSome(socket_, buffer, sizeof buffer) <= 0) return true;
    }
}

std::string PhoneClient::Login(const std::string& clientId, const std::string& password) {
    if (!SendLine("Login:" + clientId + "," + password)) return std::string();
    return ReadLine();
}

std::string Probe(std::uint16_t port, const std::string& datagram, int timeoutMs,
                  std::uint16_t* fromPort) {
    SocketHandle s = OpenUdpSocket4();
    std::string answer;
    if (s == kNoSocket) return answer;
    BindSocket(s, Loopback(), 0);
    SendDatagram(s, datagram.data(), static_cast<int>(datagram.size()), {Loopback(), port});
    if (WaitReadable(s, timeoutMs) > 0) {
        char buffer[9000];
        Ipv4Endpoint from;
        int n = ReceiveDatagram(s, buffer, sizeof buffer, &from);
        if (n > 0) answer.assign(buffer, static_cast<size_t>(n));
        if (fromPort != nullptr) *fromPort = from.port;
    }
    CloseSocket(s);
    return answer;
}

long PhoneClient::FloodUntilStalled(const std::string& line, int stallMs) {
    std::string batch;
    while (batch.size() < 16384) batch += line + "\n";
    SetSendTimeout(socket_, stallMs);
    long sent = 0;
    while (SendAll(socket_, batch.data(), static_cast<int>(batch.size())) ==
           static_cast<int>(batch.size())) {
        sent += static_cast<long>(batch.size());
    }
    return sent;
}
