// The remote-control service: a TCP listener for phones, a UDP socket for discovery probes and
// one multicast socket per network adapter, each served by a thread of its own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/adapters.h"
#include "platform/socket.h"
#include "service/login_throttle.h"

constexpr int kReplyBufferSize = 8192;
constexpr std::uint16_t kMulticastPort = 45789;
constexpr const char* kMulticastGroup = "227.23.24.25";

// Called for every command line of a logged-in phone (and once for the login itself). Writes at
// most kReplyBufferSize bytes into `reply`; a result above zero is sent back as it is.
// Called concurrently from every connection thread.
using CommandHandler = int (*)(const char* clientId, const char* command, const char* parameter,
                               char* reply, void* owner);
// Called for every discovery probe; a result above zero goes back as one datagram.
// Called concurrently from the two discovery threads.
using DiscoveryHandler = int (*)(const char* clientId, const char* parameter, char* reply,
                                 void* owner);

// Knobs that only tests change.
struct ServerOptions {
    int idleTimeoutSeconds = 30;
    std::uint16_t multicastPort = kMulticastPort;
    std::function<AdapterTableResult(std::vector<AdapterInfo>*)> readAdapters = ReadAdapterTable;
};

struct ServerConfig {
    const char* tcpBindAddress = "0.0.0.0";
    int tcpPort = 33589;
    const char* udpBindAddress = "0.0.0.0";
    int udpPort = 33589;
    CommandHandler commandHandler = nullptr;
    DiscoveryHandler discoveryHandler = nullptr;
    void* owner = nullptr;
    const char* password = "";
    const ServerOptions* options = nullptr;  // null: the defaults
};

struct MulticastSocket {
    std::uint32_t interfaceAddress;  // network byte order
    SocketHandle socket;
};

class ControlServer : public std::enable_shared_from_this<ControlServer> {
public:
    ControlServer() = default;
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Ends the service: closes every socket, waits up to 1.5 s for the three service threads
    // (a thread that misses that is left to finish on its own) and then for every connection.
    // Creator's thread only; once.
    void Stop();

    // The login password for the next logins. Any thread; readers never see half a text.
    void SetPassword(const std::string& password);
    bool PasswordMatches(const char* given);

    // Bound ports (useful when the configuration asked for port 0). Any thread.
    std::uint16_t ListenPort() const { return boundTcpPort_.load(); }
    std::uint16_t DiscoveryPort() const { return boundUdpPort_.load(); }
    std::uint32_t ActiveConnections() const { return activeConnections.load(); }
    LoginThrottle& Throttle() { return throttle_; }

    // Socket maintenance; 0 on success, -1 on failure (logged). Used by start-up and by the
    // service thread that owns the socket.
    int OpenListenSocket();
    int OpenUdpSocket();
    int OpenMulticastSockets();
    int JoinMulticastGroup(std::uint32_t iface, SocketHandle s);
    void CloseMulticastSockets();

    int Start(const ServerConfig& config);

    // Sleeps up to `ms`, returning early once Stop has been called. Service threads.
    void SleepUnlessStopped(int ms);

    std::string tcpBindAddress;
    int tcpPort = 0;
    std::string udpBindAddress;
    int udpPort = 0;
    CommandHandler commandHandler = nullptr;
    DiscoveryHandler discoveryHandler = nullptr;
    void* owner = nullptr;
    std::atomic<SocketHandle> udpSocket{kNoSocket};
    std::atomic<SocketHandle> listenSocket{kNoSocket};
    std::atomic<bool> stopRequested{false};
    std::atomic<std::uint32_t> activeConnections{0};
    ServerOptions options;

    // The multicast list belongs to the multicast thread; Stop only closes its sockets.
    std::mutex multicastLock;
    std::vector<MulticastSocket> multicastSockets;

private:
    void RunServiceThread(int index, void (*loop)(ControlServer*));

    std::mutex passwordLock_;
    std::string password_;
    LoginThrottle throttle_;
    std::atomic<std::uint16_t> boundTcpPort_{0};
    std::atomic<std::uint16_t> boundUdpPort_{0};
    bool stopped_ = false;

    std::mutex stopLock_;
    std::condition_variable stopSignal_;

    std::thread threads_[3];
    std::mutex exitLock_;
    std::condition_variable exitSignal_;
    bool threadEnded_[3] = {false, false, false};
};

// Creates and starts a service; null when its listening or discovery socket cannot be opened.
std::shared_ptr<ControlServer> CreateControlServer(const ServerConfig& config);

// Thread bodies (see session.cpp and discovery.cpp). Each returns once stopRequested is set.
void AcceptLoop(ControlServer* server);
void RunSession(ControlServer* server, SocketHandle socket, const Ipv4Endpoint& peer);
void UdpResponderLoop(ControlServer* server);
void MulticastResponderLoop(ControlServer* server);

// Sleeps for `ms` milliseconds. Any thread.
void SleepMilliseconds(int ms);
