// The service's own state, shared by its threads: private to the service folder.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "service/control_server.h"
#include "service/login_throttle.h"
#include "support/stop_signal.h"

struct MulticastSocket {
    std::uint32_t interfaceAddress;  // network byte order
    SocketHandle socket;
};

class ServiceState : public std::enable_shared_from_this<ServiceState> {
public:
    ServiceState() = default;
    ServiceState(const ServiceState&) = delete;
    ServiceState& operator=(const ServiceState&) = delete;

    // Opens the sockets and starts the three service threads; 0, or -1 when the listening or
    // discovery socket cannot be opened. Creator's thread.
    int Start(const ServerConfig& config);
    // Ends the service: closes every socket, aborts every open connection (a thread blocked in
    // a send returns at once), waits up to 1.5 s for the three service threads (a thread that
    // misses that is left to finish on its own) and then for every connection thread.
    // Creator's thread only; once.
    void Stop();
    // After Stop: whether a connection thread was left behind. Creator's thread.
    bool ConnectionsLeftBehind() const { return connectionsLeftBehind_; }

    // A connection's life, so that Stop can end it. BeginConnection counts the accepted socket
    // before its thread starts (accept thread); false when the service is stopping, and the
    // socket is then closed. EndConnection closes the socket and uncounts it, as the connection
    // thread's last act (or the accept thread's, when the thread could not start).
    bool BeginConnection(SocketHandle s);
    void EndConnection(SocketHandle s);

    // The login password for the next logins. Any thread; readers never see half a text.
    void SetPassword(const std::string& password);
    bool PasswordMatches(const char* given);

    // Socket maintenance; 0 on success, -1 on failure (logged). Used by start-up and by the
    // service thread that owns the socket.
    int OpenListenSocket();
    int OpenUdpSocket();
    int OpenMulticastSockets();
    int JoinMulticastGroup(std::uint32_t iface, SocketHandle s);
    void CloseMulticastSockets();

    std::string tcpBindAddress;
    int tcpPort = 0;
    std::string udpBindAddress;
    int udpPort = 0;
    CommandHandler commandHandler = nullptr;
    DiscoveryHandler discoveryHandler = nullptr;
    void* owner = nullptr;
    std::atomic<SocketHandle> udpSocket{kNoSocket};
    std::atomic<SocketHandle> listenSocket{kNoSocket};
    // Set by Stop; every service and connection thread ends soon after.
    StopSignal stop;
    std::atomic<std::uint32_t> activeConnections{0};
    std::atomic<std::uint16_t> boundTcpPort{0};
    std::atomic<std::uint16_t> boundUdpPort{0};
    ServerOptions options;
    LoginThrottle throttle;

    // The multicast list belongs to the multicast thread; Stop only closes its sockets.
    std::mutex multicastLock;
    std::vector<MulticastSocket> multicastSockets;

private:
    void RunServiceThread(int index, void (*loop)(ServiceState*));

    // The open connections' sockets; the signal's lock guards the list, and its wake-up tells
    // Stop that one has ended. It is never set: the service's own stop is `stop`.
    StopSignal connectionsChanged_;
    std::vector<SocketHandle> connections_;

    std::mutex passwordLock_;
    std::string password_;
    bool stopped_ = false;
    bool connectionsLeftBehind_ = false;

    std::thread threads_[3];
    std::mutex exitLock_;
    std::condition_variable exitSignal_;
    bool threadEnded_[3] = {false, false, false};
};

// Thread bodies (see session.cpp and discovery.cpp). Each returns once the stop is set.
void AcceptLoop(ServiceState* server);
void RunSession(ServiceState* server, SocketHandle socket, const Ipv4Endpoint& peer);
void UdpResponderLoop(ServiceState* server);
void MulticastResponderLoop(ServiceState* server);
