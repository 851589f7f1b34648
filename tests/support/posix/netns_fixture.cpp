#include "netns_fixture.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
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

#include "platform/multicast.h"
#include "platform/socket.h"
#include "wait_until.h"

namespace {

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
    std::uint32_t a = 0;
    ParseIpv4(dotted, &a);
    return a;
}

std::unique_ptr<NetnsPhone> NetnsPhone::Open(const std::string& ns, const char* localAddress) {
    std::unique_ptr<NetnsPhone> phone(new NetnsPhone);
    std::string failure;
    bool entered = RunInNamespace(
        ns,
        [&] {
            phone->socket_ = OpenUdpSocket4();
            if (phone->socket_ == kNoSocket) {
                failure = "socket: " + SocketErrorText(SocketLastError());
                return;
            }
            const std::uint32_t local = Address(localAddress);
            // Bound to the phone's own address: this fails anywhere but in the phone's namespace.
            if (!BindSocket(phone->socket_, local, 0) ||
                !SetMulticastInterface(phone->socket_, local) ||
                !SetMulticastTtl(phone->socket_, 1) || !EnableBroadcast(phone->socket_) ||
                (phone->port_ = LocalPort(phone->socket_)) == 0) {
                failure = std::string("phone socket on ") + localAddress + ": " +
                          SocketErrorText(SocketLastError());
            }
        },
        &failure);
    if (!entered || !failure.empty()) {
        ADD_FAILURE() << "phone in " << ns << ": " << failure;
        return nullptr;
    }
    return phone;
}

NetnsPhone::~NetnsPhone() { CloseSocket(socket_); }

bool NetnsPhone::Send(const char* to, std::uint16_t port, const std::string& text) {
    const int length = static_cast<int>(text.size());
    return SendDatagram(socket_, text.data(), length, {Address(to), port}) == length;
}

bool NetnsPhone::Receive(Datagram* out, int timeoutMs) {
    if (WaitReadable(socket_, timeoutMs) <= 0) return false;
    char buffer[9000];
    Ipv4Endpoint from;
    int n = ReceiveDatagram(socket_, buffer, sizeof buffer, &from);
    if (n < 0) return false;
    out->text.assign(buffer, static_cast<size_t>(n));
    out->from = from.address;
    out->fromPort = from.port;
    return true;
}

bool NetnsPhone::Ask(const char* to, std::uint16_t port,
                     const std::function<std::string(int)>& probe, Datagram* answer,
                     int deadlineMs) {
    Datagram stale;
    while (Receive(&stale, 0)) {
    }
    Deadline deadline{std::chrono::milliseconds(deadlineMs)};
    for (int attempt = 1;; ++attempt) {
        if (!Send(to, port, probe(attempt))) {
            ADD_FAILURE() << "probe to " << to << ":" << port << ": "
                          << SocketErrorText(SocketLastError());
            return false;
        }
        if (Receive(answer, std::min(250, deadline.RemainingMs()))) return true;
        if (deadline.Passed()) return false;
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

std::string NetnsDiscovery::AddLinkedPhoneNamespace() {
    std::string phoneNs = AddNamespace();
    bool linked = !phoneNs.empty() && Link(serverNs_, "srv0", phoneNs, "phone0") &&
                  Ip("-n " + serverNs_ + " addr add 198.18.0.1/24 dev srv0") &&
                  Ip("-n " + phoneNs + " addr add 198.18.0.2/24 dev phone0");
    return linked ? phoneNs : "";
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
