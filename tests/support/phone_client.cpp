#include "phone_client.h"

#include <chrono>

#include "wait_until.h"

std::uint32_t Loopback() {
    std::uint32_t a = 0;
    ParseIpv4("127.0.0.1", &a);
    return a;
}

bool LineSocket::Send(const std::string& bytes) {
    return SendAll(socket_, bytes.data(), static_cast<int>(bytes.size())) ==
           static_cast<int>(bytes.size());
}

bool LineSocket::Receive(int timeoutMs) {
    if (WaitReadable(socket_, timeoutMs) <= 0) return false;
    char buffer[16384];
    int n = ReceiveSome(socket_, buffer, sizeof buffer);
    if (n <= 0) return false;
    pending_.append(buffer, static_cast<size_t>(n));
    return true;
}

std::string LineSocket::Read(size_t count, int timeoutMs) {
    Deadline deadline{std::chrono::milliseconds(timeoutMs)};
    while (pending_.size() < count && Receive(deadline.RemainingMs())) {
    }
    std::string out = pending_.substr(0, count);
    pending_.erase(0, out.size());
    return out;
}

std::string LineSocket::ReadLine(int timeoutMs) {
    Deadline deadline{std::chrono::milliseconds(timeoutMs)};
    size_t lf;
    while ((lf = pending_.find('\n')) == std::string::npos) {
        if (!Receive(deadline.RemainingMs())) {
            std::string rest;
            rest.swap(pending_);
            return rest;
        }
    }
    std::string line = pending_.substr(0, lf + 1);
    pending_.erase(0, lf + 1);
    return line;
}

bool LineSocket::WaitClosed(int timeoutMs) {
    Deadline deadline{std::chrono::milliseconds(timeoutMs)};
    for (;;) {
        int ready = WaitReadable(socket_, deadline.RemainingMs());
        if (ready < 0) return true;
        if (ready == 0) return false;
        char buffer[16384];
        if (ReceiveSome(socket_, buffer, sizeof buffer) <= 0) return true;
    }
}

void LineSocket::Close() {
    CloseSocket(socket_);
    socket_ = kNoSocket;
}

namespace {

// A socket connected to 127.0.0.1:port, or kNoSocket.
SocketHandle ConnectToLoopback(std::uint16_t port) {
    SocketHandle s = OpenTcpSocket();
    if (s != kNoSocket && ConnectSocket(s, {Loopback(), port})) return s;
    CloseSocket(s);
    return kNoSocket;
}

}  // namespace

PhoneClient::PhoneClient(std::uint16_t port) : LineSocket(ConnectToLoopback(port)) {}

long LineSocket::FloodUntilStalled(const std::string& line, int stallMs) {
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
