#include "service_fixture.h"

#include <cstring>

int RecordingHandler::Handle(const char* clientId, const char* command, const char* parameter,
                             char* reply, void* owner) {
    auto* self = static_cast<RecordingHandler*>(owner);
    {
        std::lock_guard<std::mutex> guard(self->lock_);
        self->calls_.push_back({clientId, command, parameter});
    }
    if (std::strcmp(command, "Hold") == 0) {
        std::unique_lock<std::mutex> held(self->lock_);
        self->released_.wait(held, [self] { return !self->holding_; });
        return 0;
    }
    if (std::strcmp(command, "Fill") == 0) {
        std::memset(reply, 'f', kFillReply - 1);
        reply[kFillReply - 1] = '\n';
        return kFillReply;
    }
    if (std::strcmp(command, "Echo") == 0) {
        size_t n = std::strlen(parameter);
        std::memcpy(reply, parameter, n);
        reply[n] = '\n';
        return static_cast<int>(n + 1);
    }
    return 0;
}

void RecordingHandler::Hold() {
    std::lock_guard<std::mutex> guard(lock_);
    holding_ = true;
}

void RecordingHandler::Release() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        holding_ = false;
    }
    released_.notify_all();
}

std::vector<HandlerCall> RecordingHandler::Calls() {
    std::lock_guard<std::mutex> guard(lock_);
    return calls_;
}

void ServiceTest::SetUp() {
    ASSERT_EQ(SocketLibraryStartup(), 0);
    options_.readAdapters = [](std::vector<AdapterInfo>* adapters) {
        adapters->clear();
        return AdapterTableResult::kOk;
    };
    server_ = StartService();
    ASSERT_NE(server_, nullptr);
}

void ServiceTest::TearDown() {
    if (server_) server_->Stop();
    server_.reset();
}

bool ServiceTest::RestartService() {
    server_->Stop();
    server_ = StartService();
    return server_ != nullptr;
}

std::shared_ptr<ControlServer> ServiceTest::StartService(int tcpPort, int udpPort) {
    ServerConfig config;
    config.tcpBindAddress = "127.0.0.1";
    config.tcpPort = tcpPort;
    config.udpBindAddress = "127.0.0.1";
    config.udpPort = udpPort;
    config.commandHandler = RecordingHandler::Handle;
    config.discoveryHandler = discovery_;
    config.owner = owner_;
    config.password = password_.c_str();
    config.options = &options_;
    return CreateControlServer(config);
}
