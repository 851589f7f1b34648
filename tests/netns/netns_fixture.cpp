#include "netns_fixture.h"

#include "platform/socket.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kNetnsDir = "/var/run/netns/";
constexpr const char* kNamePrefix = "corvane-test-";

// Runs a shell command; returns its exit status and its combined output.
int RunCommand(const std::string& command, std::string* output) {
    output->clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FindIp() {
    for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return "";
}

// Namespaces left behind by a test program that crashed (its pid is gone).
void RemoveStaleNamespaces(const std::string& ip) {
    DIR* dir = opendir(kNetnsDir);
    if (dir == nullptr) return;
    std::vector<std::string> stale;
    const size_t prefixLength = std::strlen(kNamePrefix);
    while (dirent* e = readdir(dir)) {
        if (std::strncmp(e->d_name, kNamePrefix, prefixLength) != 0) continue;
        long pid = std::strtol(e->d_name + prefixLength, nullptr, 10);
        if (pid <= 0 || pid == getpid()) continue;
        if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) stale.push_back(e->d_name);
    }
    closedir(dir);
    std::string output;
    for (const std::string& name : stale) RunCommand(ip + " netns del " + name, &output);
}

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

bool RunInNamespace(const std::string& name, const std::function<void()>& body,
                    std::string* error) {
    bool entered = false;
    std::thread worker([&] {
        std::string path = kNetnsDir + name;
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = "open " + path + ": " + std::strerror(errno);
            return;
        }
        struct stat target {};
        bool ok = fstat(fd, &target) == 0 && setns(fd, CLONE_NEWNET) == 0;
        int savedErrno = errno;
        close(fd);
        if (!ok) {
            *error = "setns " + path + ": " + std::strerror(savedErrno);
            return;
        }
        // Make sure this thread really left the machine's namespace before anything is sent.
        struct stat self {};
        if (stat("/proc/thread-self/ns/net", &self) != 0 || self.st_ino != target.st_ino ||
            self.st_dev != target.st_dev) {
            *error = "thread is not in namespace " + name + " after setns";
            return;
        }
        entered = true;
        body();
    });
    worker.join();
    return entered;
}

std::uint32_t Address(const char* dotted) {
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

std::unique_ptr<NetnsPhone> NetnsPhone::Open(const std::string& ns, const char* localAddress) {
    std::unique_ptr<NetnsPhone> phone(new NetnsPhone);
    std::string failure;
    bool entered = RunInNamespace(
        ns,
        [&] {
            int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                failure = std::string("socket: ") + std::strerror(errno);
                return;
            }
            phone->fd_ = fd;
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_addr.s_addr = Address(localAddress);
            in_addr iface{};
            iface.s_addr = local.sin_addr.s_addr;
            int ttl = 1, on = 1;
            socklen_t length = sizeof local;
            // Bound to the phone's own address: this fails anywhere but in the phone's namespace.
            if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
                setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &iface, sizeof iface) != 0 ||
                setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0 ||
                setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
                getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
                failure =
                    std::string("phone socket on ") + localAddress + ": " + std::strerror(errno);
                return;
            }
            phone->port_ = ntohs(local.sin_port);
        },
        &failure);
    if (!entered || !failure.empty()) {
        ADD_FAILURE() << "phone in " << ns << ": " << failure;
        return nullptr;
    }
    return phone;
}

NetnsPhone::~NetnsPhone() {
    if (fd_ >= 0) close(fd_);
}

bool NetnsPhone::Send(const char* to, std::uint16_t port, const std::string& text) {
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_addr.s_addr = Address(to);
    dest.sin_port = htons(port);
    return sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&dest),
                  sizeof dest) == static_cast<ssize_t>(text.size());
}

bool NetnsPhone::Receive(Datagram* out, int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[9000];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = recvfrom(fd_, buffer, sizeof buffer, MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) return false;
    out->text.assign(buffer, static_cast<size_t>(n));
    out->from = from.sin_addr.s_addr;
    out->fromPort = ntohs(from.sin_port);
    return true;
}

bool NetnsPhone::Ask(const char* to, std::uint16_t port,
                     const std::function<std::string(int)>& probe, Datagram* answer,
                     int deadlineMs) {
    char discard[9000];
    while (recv(fd_, discard, sizeof discard, MSG_DONTWAIT) >= 0) {
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    for (int attempt = 1;; ++attempt) {
        if (!Send(to, port, probe(attempt))) {
            ADD_FAILURE() << "probe to " << to << ":" << port << ": " << std::strerror(errno);
            return false;
        }
        if (Receive(answer, std::min(250, RemainingMs(deadline)))) return true;
        if (RemainingMs(deadline) == 0) return false;
    }
}

int NetnsContext::CountingAnswer(const char* clientId, const char* parameter, char* reply,
                                 void* owner) {
    auto* self = static_cast<NetnsContext*>(static_cast<HandlerContext*>(owner));
    {
        std::lock_guard<std::mutex> guard(self->lock_);
        self->handled_.push_back(clientId);
    }
    return AnswerDiscoveryProbe(clientId, parameter, reply, owner);
}

int NetnsContext::TimesHandled(const std::string& clientId) {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(std::count(handled_.begin(), handled_.end(), clientId));
}

std::vector<std::string> NetnsContext::Handled() {
    std::lock_guard<std::mutex> guard(lock_);
    return handled_;
}

void NetnsDiscovery::SetUp() {
    if (geteuid() != 0) {
        GTEST_SKIP() << "network namespace tests need root (they create namespaces and veth "
                        "pairs); skipped";
    }
    ipPath_ = FindIp();
    if (ipPath_.empty()) GTEST_SKIP() << "the `ip` program (iproute2) is missing; skipped";
    ASSERT_EQ(SocketLibraryStartup(), 0);
    RemoveStaleNamespaces(ipPath_);

    static std::atomic<int> sequence{0};
    std::string name = kNamePrefix + std::to_string(getpid()) + "-" + std::to_string(++sequence);
    std::string output;
    if (RunCommand(ipPath_ + " netns add " + name, &output) != 0) {
        GTEST_SKIP() << "cannot create a network namespace (`ip netns add` needs "
                        "CAP_SYS_ADMIN): "
                     << output;
    }
    namespaces_.push_back(name);
    std::string error;
    if (!RunInNamespace(
            name, [] {}, &error)) {
        GTEST_SKIP() << "cannot enter a network namespace: " << error;
    }
    ASSERT_TRUE(Ip("-n " + name + " link set lo up"));
    serverNs_ = name;

    context_.HardwareAddressText = "00-1A-2B-3C-4D-5E";
    context_.SetComputerName("NETNS-PC");
    context_.tcpPort = 33589;
}

void NetnsDiscovery::TearDown() {
    for (auto& server : servers_) server->Stop();
    servers_.clear();
    std::string output;
    for (const std::string& name : namespaces_) {
        if (RunCommand(ipPath_ + " netns del " + name, &output) != 0) {
            ADD_FAILURE() << "ip netns del " << name << ": " << output;
        }
        EXPECT_NE(access((kNetnsDir + name).c_str(), F_OK), 0) << name << " is still there";
    }
    namespaces_.clear();
}

std::string NetnsDiscovery::AddNamespace() {
    std::string name = serverNs_ + "-" + std::to_string(namespaces_.size());
    if (!Ip("netns add " + name)) return "";
    namespaces_.push_back(name);
    if (!Ip("-n " + name + " link set lo up")) return "";
    return name;
}

bool NetnsDiscovery::Ip(const std::string& args) {
    std::string output;
    if (RunCommand(ipPath_ + " " + args, &output) == 0) return true;
    ADD_FAILURE() << "ip " << args << ": " << output;
    return false;
}

bool NetnsDiscovery::Link(const std::string& a, const std::string& aName, const std::string& b,
                          const std::string& bName) {
    return Ip("-n " + a + " link add " + aName + " type veth peer name " + bName + " netns " + b) &&
           Ip("-n " + a + " link set " + aName + " up") &&
           Ip("-n " + b + " link set " + bName + " up");
}

bool NetnsDiscovery::DisableReversePathFilter(const std::string& ns) {
    std::string failure;
    bool entered = RunInNamespace(
        ns,
        [&] {
            // /proc/sys/net shows the namespace of the thread that opens it.
            for (const char* conf : {"all", "default"}) {
                std::string path = std::string("/proc/sys/net/ipv4/conf/") + conf + "/rp_filter";
                FILE* f = std::fopen(path.c_str(), "w");
                if (f == nullptr || std::fputs("0\n", f) < 0) failure += path + " ";
                if (f != nullptr && std::fclose(f) != 0) failure += path + " ";
            }
        },
        &failure);
    if (!entered || !failure.empty()) {
        ADD_FAILURE() << "rp_filter in " << ns << ": " << failure;
        return false;
    }
    return true;
}

std::shared_ptr<ControlServer> NetnsDiscovery::StartServer(const std::string& ns,
                                                           DiscoveryHandler handler) {
    ServerConfig config;
    config.tcpPort = 33589;
    config.udpPort = kDiscoveryPort;
    config.discoveryHandler = handler;
    config.owner = static_cast<HandlerContext*>(&context_);
    config.password = "735";
    std::shared_ptr<ControlServer> server;
    std::string error;
    // The service's threads start on the namespace's thread and so stay in the namespace.
    if (!RunInNamespace(
            ns, [&] { server = CreateControlServer(config); }, &error)) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    if (server == nullptr) {
        ADD_FAILURE() << "the service did not start in " << ns;
        return nullptr;
    }
    servers_.push_back(server);
    return server;
}

std::vector<std::string> NetnsDiscovery::MulticastList(ControlServer& server) {
    std::vector<std::string> list;
    for (std::uint32_t address : server.MulticastInterfaces()) list.push_back(FormatIpv4(address));
    return list;
}
