// A service on 127.0.0.1 with ephemeral ports, a recording command handler and no multicast
// sockets (tests never join groups on the machine's real interfaces).
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "commands/handler_context.h"
#include "phone_client.h"
#include "service/control_server.h"

struct HandlerCall {
    std::string clientId, command, parameter;
};

// Records every command; doubles as the handler context for the discovery handler.
class RecordingHandler : public HandlerContext {
public:
    static int Handle(const char* clientId, const char* command, const char* parameter, char* reply,
                      void* owner);
    // Every command "Echo" is answered with its parameter and a line feed, every "Fill" with
    // kFillReply bytes (a line of "f"), so that a peer that does not read fills up quickly.
    std::vector<HandlerCall> Calls();
    static constexpr int kFillReply = 8000;
    // While held, every "Hold" command waits in the handler until Release: a command that does
    // not return.
    void Hold();
    void Release();

private:
    std::mutex lock_;
    std::condition_variable released_;
    bool holding_ = false;
    std::vector<HandlerCall> calls_;
};

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // (Re)creates the service; null when creation failed.
    std::shared_ptr<ControlServer> StartService(int tcpPort = 0, int udpPort = 0);
    // Stops the service and starts it again with options_ as they are now; false on failure.
    bool RestartService();
    std::uint16_t Port() const { return server_->ListenPort(); }

    ServerOptions options_;
    RecordingHandler handler_;
    void* owner_ = &handler_;
    DiscoveryHandler discovery_ = nullptr;
    std::string password_ = "735";
    std::shared_ptr<ControlServer> server_;
};
