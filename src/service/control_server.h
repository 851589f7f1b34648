// The remote-control service: a TCP listener for phones, a UDP socket for discovery probes and
// one multicast socket per network adapter, each served by a thread of its own. Phones' lines
// and probes reach the program through the handlers in service/handlers.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/adapters.h"
#include "service/handlers.h"
#include "service/login_throttle.h"

constexpr std::uint16_t kMulticastPort = 45789;
constexpr const char* kMulticastGroup = "227.23.24.25";

// Knobs that only tests change.
struct ServerOptions {
    int idleTimeoutSeconds = 30;
    // A reply that cannot go out for this long ends its connection: only a peer that keeps
    // sending but stops reading gets there.
    int sendTimeoutMs = 5000;
    // How long Stop waits for the connection threads once it has aborted their connections.
    int connectionStopLimitMs = 3000;
    std::uint16_t multicastPort = kMulticastPort;
    std::function<AdapterTableResult(std::vector<AdapterInfo>*)> readAdapters = ReadAdapterTable;
    // The login throttle's clock; empty: the steady clock.
    LoginThrottle::Clock throttleClock;
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

class ServiceState;

class ControlServer {
public:
    // Stops the service if Stop was not called.
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Ends the service: closes every socket, aborts every open connection (so a peer that does
    // not read cannot hold it up), waits up to 1.5 s for the three service threads (a thread that
    // misses that is left to finish on its own) and up to connectionStopLimitMs for every
    // connection thread. Creator's thread only.
    void Stop();
    // After Stop: true when a connection thread had not ended by then (a command handler that
    // did not return, or a thread the system never ran). It may still call the command handler
    // with the owner, so the owner must never be destroyed. Creator's thread.
    bool ConnectionsLeftBehind() const;

    // The login password for the next logins. Any thread; readers never see half a text.
    void SetPassword(const std::string& password);

    // Bound ports (useful when the configuration asked for port 0). Any thread.
    std::uint16_t ListenPort() const;
    std::uint16_t DiscoveryPort() const;
    std::uint32_t ActiveConnections() const;
    // The adapters (network byte order) whose multicast membership is in place. Any thread.
    std::vector<std::uint32_t> MulticastInterfaces() const;

private:
    friend std::shared_ptr<ControlServer> CreateControlServer(const ServerConfig& config);
    explicit ControlServer(std::shared_ptr<ServiceState> state);

    // Shared with the service threads, which may outlive this object by a moment.
    std::shared_ptr<ServiceState> state_;
};

// Creates and starts a service; null when its listening or discovery socket cannot be opened.
std::shared_ptr<ControlServer> CreateControlServer(const ServerConfig& config);
