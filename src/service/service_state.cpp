#include "service/service_state.h"

#include <algorithm>
#include <chrono>

#include "platform/multicast.h"
#include "support/log.h"
#include "support/trace.h"

int ServiceState::OpenListenSocket() {
    CloseSocket(listenSocket.exchange(kNoSocket));
    SocketHandle s = OpenTcpSocket();
    if (s == kNoSocket) {
        LogPrintf("Create TCP socket Error <%d>.\n", SocketLastError());
        return -1;
    }
    std::uint32_t address = 0;
#if !defined(_WIN32)
    // Lets a restarted service bind while old connections linger in TIME_WAIT; on POSIX this
    // still refuses a port another listener holds (on Windows it would not, so it stays off).
    SetReuseAddress(s);
#endif
    if (!ParseIpv4(tcpBindAddress.c_str(), &address) ||
        !BindSocket(s, address, static_cast<std::uint16_t>(tcpPort))) {
        LogPrintf("TCP Bind Error.\n");
        CloseSocket(s);
        return -1;
    }
    if (!ListenSocket(s, 100)) {
        LogPrintf("TCP Listen Error.\n");
        CloseSocket(s);
        return -1;
    }
    boundTcpPort = LocalPort(s);
    listenSocket = s;
    return 0;
}

int ServiceState::OpenUdpSocket() {
    CloseSocket(udpSocket.exchange(kNoSocket));
    SocketHandle s = OpenUdpSocket4();
    if (s == kNoSocket) {
        LogPrintf("Create UDP socket Error. <%d>\n", SocketLastError());
        return -1;
    }
    std::uint32_t address = 0;
    if (!ParseIpv4(udpBindAddress.c_str(), &address) ||
        !BindSocket(s, address, static_cast<std::uint16_t>(udpPort))) {
        LogPrintf("UDP Bind Error.\n");
        CloseSocket(s);
        return -1;
    }
    boundUdpPort = LocalPort(s);
    udpSocket = s;
    return 0;
}

int ServiceState::JoinMulticastGroup(std::uint32_t iface, SocketHandle s) {
    std::uint32_t group = 0;
    ParseIpv4(kMulticastGroup, &group);
    DropMembership(s, group, iface);
    SetMulticastInterface(s, iface);
    if (!AddMembership(s, group, iface)) {
        LogPrintf("IP_ADD_MEMBERSHIP to %s Error<%d>\n", FormatIpv4(iface).c_str(),
                  SocketLastError());
        return -1;
    }
    return 0;
}

int ServiceState::OpenMulticastSockets() {
    CloseMulticastSockets();
    std::vector<AdapterInfo> adapters;
    switch (options.readAdapters(&adapters)) {
        case AdapterTableResult::kSizeUnknown:
            LogPrintf("GetAdaptersInfo Error.\n");
            return -1;
        case AdapterTableResult::kReadFailed:
            LogPrintf("GetAdaptersInfo Error.\n ");
            return -1;
        case AdapterTableResult::kOk:
            break;
    }
    std::vector<MulticastSocket> opened;
    for (const AdapterInfo& adapter : adapters) {
        const std::string& text = adapter.firstAddress;
        std::uint32_t iface = 0;
        if (text == "127.0.0.1" || text == "0.0.0.0" || !ParseIpv4(text.c_str(), &iface)) {
            continue;
        }
        TracePrintf("%s\n", text.c_str());
        SocketHandle s = OpenUdpSocket4();
        if (s == kNoSocket) continue;
        SetReuseAddress(s);
        if (!BindMulticastReceiver(s, iface, options.multicastPort)) {
            LogPrintf("bind multicast UDP Socket to %s Error<%d>\n", text.c_str(),
                      SocketLastError());
            CloseSocket(s);
            continue;
        }
        if (JoinMulticastGroup(iface, s) != 0) {
            CloseSocket(s);
            continue;
        }
        opened.push_back({iface, s});
    }
    std::lock_guard<std::mutex> guard(multicastLock);
    if (stop.Stopped()) {
        // Stop ran while the table was read: these sockets must not outlive the service.
        for (MulticastSocket& m : opened) CloseSocket(m.socket);
        return 0;
    }
    multicastSockets = std::move(opened);
    return 0;
}

void ServiceState::CloseMulticastSockets() {
    std::lock_guard<std::mutex> guard(multicastLock);
    for (MulticastSocket& m : multicastSockets) CloseSocket(m.socket);
    multicastSockets.clear();
}

void ServiceState::SetPassword(const std::string& password) {
    std::lock_guard<std::mutex> guard(passwordLock_);
    password_ = password;
}

bool ServiceState::PasswordMatches(const char* given) {
    std::lock_guard<std::mutex> guard(passwordLock_);
    return PasswordEquals(given, password_.c_str());
}

void ServiceState::RunServiceThread(int index, void (*loop)(ServiceState*)) {
    // The thread keeps the object alive: it may outlive Stop's wait.
    std::shared_ptr<ServiceState> self = shared_from_this();
    threads_[index] = std::thread([self, index, loop] {
        loop(self.get());
        std::lock_guard<std::mutex> guard(self->exitLock_);
        self->threadEnded_[index] = true;
        self->exitSignal_.notify_all();
    });
}

int ServiceState::Start(const ServerConfig& config) {
    tcpBindAddress = config.tcpBindAddress ? config.tcpBindAddress : "";
    tcpPort = config.tcpPort & 0xFFFF;
    udpBindAddress = config.udpBindAddress ? config.udpBindAddress : "";
    udpPort = config.udpPort & 0xFFFF;
    commandHandler = config.commandHandler;
    discoveryHandler = config.discoveryHandler;
    owner = config.owner;
    SetPassword(config.password ? config.password : "");
    if (config.options != nullptr) options = *config.options;
    if (options.throttleClock) throttle.SetClock(options.throttleClock);

    if (OpenListenSocket() != 0) {
        LogPrintf("Create TCP Listen Error.\n");
        return -1;
    }
    if (OpenUdpSocket() != 0) {
        LogPrintf("Create UDP Listen Error. \n");
        CloseSocket(listenSocket.exchange(kNoSocket));
        return -1;
    }
    OpenMulticastSockets();
    try {
        RunServiceThread(0, AcceptLoop);
        RunServiceThread(1, UdpResponderLoop);
        RunServiceThread(2, MulticastResponderLoop);
    } catch (const std::system_error&) {
        // A thread that cannot be created is not reported; Stop copes with a missing one.
    }
    return 0;
}

bool ServiceState::BeginConnection(SocketHandle s) {
    std::lock_guard<std::mutex> guard(connectionsChanged_.Lock());
    // Stop sets the stop before it takes this lock to abort the list: a socket added after
    // that pass would never be aborted.
    if (stop.Stopped()) {
        CloseSocket(s);
        return false;
    }
    connections_.push_back(s);
    activeConnections.fetch_add(1);
    return true;
}

void ServiceState::EndConnection(SocketHandle s) {
    {
        std::lock_guard<std::mutex> guard(connectionsChanged_.Lock());
        connections_.erase(std::remove(connections_.begin(), connections_.end(), s),
                           connections_.end());
        // Closed under the lock: Stop never aborts a handle that has been released (and perhaps
        // reused by another socket).
        CloseSocket(s);
        activeConnections.fetch_sub(1);
    }
    connectionsChanged_.Notify();
}

void ServiceState::Stop() {
    if (stopped_) return;
    stopped_ = true;
    stop.Stop();
    CloseSocket(listenSocket.exchange(kNoSocket));
    CloseSocket(udpSocket.exchange(kNoSocket));
    {
        std::lock_guard<std::mutex> guard(multicastLock);
        for (MulticastSocket& m : multicastSockets) {
            CloseSocket(m.socket);
            m.socket = kNoSocket;
        }
    }
    {
        // A connection thread may sit in a send to a peer that does not read: abort them all,
        // so that each thread returns from whatever it waits in and sees the stop.
        std::lock_guard<std::mutex> guard(connectionsChanged_.Lock());
        for (SocketHandle s : connections_) AbortConnection(s);
    }
    bool allEnded;
    {
        std::unique_lock<std::mutex> guard(exitLock_);
        auto ended = [this] {
            for (int i = 0; i < 3; ++i) {
                if (threads_[i].joinable() && !threadEnded_[i]) return false;
            }
            return true;
        };
        allEnded = exitSignal_.wait_for(guard, std::chrono::milliseconds(1500), ended);
    }
    for (int i = 0; i < 3; ++i) {
        if (!threads_[i].joinable()) continue;
        bool ended;
        {
            std::lock_guard<std::mutex> guard(exitLock_);
            ended = threadEnded_[i];
        }
        // A thread that missed the limit has lost its sockets; it ends at its next wake-up
        // and keeps the object alive until then.
        if (ended) {
            threads_[i].join();
        } else {
            threads_[i].detach();
        }
    }
    // Every connection was aborted above, so each thread ends as soon as its command handler
    // returns. One that has not by the limit is left behind: it keeps this object alive, and
    // the owner is told not to go (ConnectionsLeftBehind).
    {
        std::unique_lock<std::mutex> held(connectionsChanged_.Lock());
        const auto deadline = StopSignal::Clock::now() +
                              std::chrono::milliseconds(options.connectionStopLimitMs);
        if (!connectionsChanged_.WaitUntil(held, deadline,
                                           [this] { return connections_.empty(); })) {
            connectionsLeftBehind_ = true;
            LogPrintf("%u phone connection(s) did not end within %d ms; left behind.\n",
                      static_cast<unsigned>(connections_.size()), options.connectionStopLimitMs);
        }
    }
    if (allEnded) {
        std::lock_guard<std::mutex> guard(multicastLock);
        multicastSockets.clear();
    }
}

ControlServer::ControlServer(std::shared_ptr<ServiceState> state) : state_(std::move(state)) {}

ControlServer::~ControlServer() { Stop(); }

void ControlServer::Stop() { state_->Stop(); }

bool ControlServer::ConnectionsLeftBehind() const { return state_->ConnectionsLeftBehind(); }

void ControlServer::SetPassword(const std::string& password) { state_->SetPassword(password); }

std::uint16_t ControlServer::ListenPort() const { return state_->boundTcpPort.load(); }

std::uint16_t ControlServer::DiscoveryPort() const { return state_->boundUdpPort.load(); }

std::uint32_t ControlServer::ActiveConnections() const { return state_->activeConnections.load(); }

std::vector<std::uint32_t> ControlServer::MulticastInterfaces() const {
    std::lock_guard<std::mutex> guard(state_->multicastLock);
    std::vector<std::uint32_t> list;
    for (const MulticastSocket& m : state_->multicastSockets) list.push_back(m.interfaceAddress);
    return list;
}

std::shared_ptr<ControlServer> CreateControlServer(const ServerConfig& config) {
    auto state = std::make_shared<ServiceState>();
    if (state->Start(config) != 0) return nullptr;
    return std::shared_ptr<ControlServer>(new ControlServer(std::move(state)));
}
