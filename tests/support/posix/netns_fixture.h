// Network namespaces for discovery tests. Each test builds its own small network of namespaces
// joined by veth pairs, runs the real service inside one of them and probes it from the others,
// so no datagram ever touches the machine's own interfaces. Root only; otherwise skipped.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "commands/handler_context.h"
#include "platform/socket.h"
#include "service/control_server.h"

constexpr std::uint16_t kDiscoveryPort = 33589;

// Runs `body` on a fresh thread that has entered the network namespace `name` and waits for it.
// Sockets the body opens, and threads it starts, stay in that namespace. Returns false (with the
// reason in `error`) without running the body when the namespace cannot be entered.
bool RunInNamespace(const std::string& name, const std::function<void()>& body, std::string* error);

std::uint32_t Address(const char* dotted);

struct Datagram {
    std::string text;
    std::uint32_t from = 0;  // network byte order
    std::uint16_t fromPort = 0;
};

// A phone's datagram socket, opened inside the phone's namespace. Multicast leaves through the
// interface holding `localAddress`, with a TTL of 1.
class NetnsPhone {
public:
    // Null (with a test failure) when the socket cannot be set up in that namespace.
    static std::unique_ptr<NetnsPhone> Open(const std::string& ns, const char* localAddress);
    ~NetnsPhone();
    NetnsPhone(const NetnsPhone&) = delete;
    NetnsPhone& operator=(const NetnsPhone&) = delete;

    std::uint16_t Port() const { return port_; }
    bool Send(const char* to, std::uint16_t port, const std::string& text);
    // The first datagram within the time-out.
    bool Receive(Datagram* out, int timeoutMs);
    // Sends probe(1), probe(2), ... every 250 ms until an answer arrives or `deadlineMs` has
    // passed (a link that has just come up may still drop the first frames). Earlier unread
    // answers are discarded first.
    bool Ask(const char* to, std::uint16_t port, const std::function<std::string(int)>& probe,
             Datagram* answer, int deadlineMs = 3000);

private:
    NetnsPhone() = default;
    SocketHandle socket_ = kNoSocket;
    std::uint16_t port_ = 0;
};

// The handler context of the service under test; also counts which client ids were handled.
class NetnsContext : public HandlerContext {
public:
    // AnswerDiscoveryProbe, after noting the client id.
    static int CountingAnswer(const char* clientId, const char* parameter, char* reply,
                              void* owner);
    int TimesHandled(const std::string& clientId);
    std::vector<std::string> Handled();

private:
    std::mutex lock_;
    std::vector<std::string> handled_;
};

class NetnsDiscovery : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new namespace with its loopback up; empty (with a test failure) when that fails.
    std::string AddNamespace();
    // Runs `ip <args>`; a failure fails the test and shows the command's output.
    bool Ip(const std::string& args);
    // A veth pair `aName` in `a` and `bName` in `b`, both ends up.
    bool Link(const std::string& a, const std::string& aName, const std::string& b,
              const std::string& bName);
    // A phone's namespace on one link with the server's: srv0 198.18.0.1/24 in the server's,
    // phone0 198.18.0.2/24 in the phone's. Empty (with a test failure) when that fails.
    std::string AddLinkedPhoneNamespace();
    // Sets rp_filter to 0 for `all` and for interfaces created afterwards in `ns`.
    bool DisableReversePathFilter(const std::string& ns);
    // The real service inside `ns`: default adapter table, multicast port 45789, TCP and
    // discovery port 33589.
    std::shared_ptr<ControlServer> StartServer(const std::string& ns,
                                               DiscoveryHandler handler = AnswerDiscoveryProbe);
    // The interface addresses of the service's multicast list, in list order.
    static std::vector<std::string> MulticastList(ControlServer& server);

    std::string serverNs_;  // made by SetUp
    NetnsContext context_;

private:
    std::string ipPath_;
    std::vector<std::string> namespaces_;
    std::vector<std::shared_ptr<ControlServer>> servers_;
};
