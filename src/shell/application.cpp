#include "shell/application.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "commands/dispatcher.h"
#include "platform/adapters.h"
#include "platform/automation_host.h"
#include "platform/data_places.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/version.h"
#include "presentation/presentation_worker.h"
#include "shell/settings_store.h"
#include "support/log.h"

CorvaneApplication::CorvaneApplication(std::unique_ptr<InputInjector> input,
                                       std::unique_ptr<AutomationHost> automation,
                                       ServiceEndpoints endpoints)
    // The base only keeps the addresses; the members own the objects from here on.
    : HandlerContext(input.get(), automation.get(), &startFailures_),
      endpoints_(endpoints),
      input_(std::move(input)),
      automation_(std::move(automation)) {
    worker_ = std::make_unique<PresentationWorker>(ppt, *automation_, *input_);
}

CorvaneApplication::~CorvaneApplication() { Shutdown(); }

std::string FirstHardwareAddress() {
    std::vector<AdapterInfo> adapters;
    ReadAdapterTable(&adapters);
    for (const AdapterInfo& a : adapters) {
        if (a.hardwareAddressLength < 6) continue;
        if (std::all_of(a.hardwareAddress, a.hardwareAddress + 6,
                        [](unsigned char b) { return b == 0; })) {
            continue;
        }
        return FormatHardwareAddress(a.hardwareAddress);
    }
    const unsigned char none[6] = {0, 0, 0, 0, 0, 0};
    return FormatHardwareAddress(none);
}

std::string LogFilePath() {
    DataPlaces places = ProgramDataPlaces();
    if (!places.besideExecutable) return places.logFolder + "/CorvaneServer.log";
    std::string executable = ExecutablePath();
    return executable.empty() ? std::string() : LogFileNameFor(executable);
}

std::string CorvaneApplication::VersionLine(const char* label) {
    std::uint16_t parts[4];
    if (!ReadProductVersion(parts)) {
        LogPrintf("Get File Version Error.\n ");
        return std::string();
    }
    char line[128];
    std::snprintf(line, sizeof line, "%s:  %d.%d", label, parts[2], parts[3]);
    return line;
}

void CorvaneApplication::Initialize() {
    initialized_ = true;
    if (ReadSetting(kShowMainKey).empty()) WriteSetting(kShowMainKey, "yes");
    ShowFlag = 0;
    std::string log = LogFilePath();
    if (!log.empty()) LogInit(log);
    HardwareAddressText = FirstHardwareAddress();

    std::string password = ReadSetting(kPasswdKey);
    if (password.empty()) {
        password = kDefaultPassword;
        WriteSetting(kPasswdKey, password);
    }
    {
        std::lock_guard<std::mutex> guard(passwordLock_);
        password_ = password;
    }

    worker_->Start();
    worker = worker_.get();

    std::string name = ReadSetting(kPcNameKey);
    if (name.empty()) {
        name = HostComputerName();
        WriteSetting(kPcNameKey, name);
    }
    SetComputerName(name);

    std::string horizontal = ReadSetting(kVertKey);
    std::string vertical = ReadSetting(kHorzKey);
    SetFactors(horizontal.empty() ? 50 : SettingAsInt(horizontal),
               vertical.empty() ? 50 : SettingAsInt(vertical));
    // The service first: the autostart step may show a message box that waits for a click,
    // and phones must be served meanwhile.
    StartService();

    std::string autoStart = ReadSetting(kAutoStartKey);
    ChangeAutoStart(autoStart.empty() || SettingIsYes(autoStart));
    LogPrintf("CorvaneServer %s\n", VersionLine().c_str());
}

int CorvaneApplication::StartService() {
    StopService();
    std::string password = Password();
    ServerConfig config;
    config.tcpBindAddress = endpoints_.bindAddress;
    config.tcpPort = endpoints_.tcpPort;
    config.udpBindAddress = endpoints_.bindAddress;
    config.udpPort = endpoints_.udpPort;
    config.commandHandler = DispatchCommand;
    config.discoveryHandler = AnswerDiscoveryProbe;
    config.owner = static_cast<HandlerContext*>(this);
    config.password = password.c_str();
    config.options = endpoints_.options;
    tcpPort = endpoints_.tcpPort;
    service_ = CreateControlServer(config);
    // With port 0 (tests) phones are told the port actually bound.
    if (service_ && endpoints_.tcpPort == 0) tcpPort = service_->ListenPort();
    return service_ ? 0 : -1;
}

void CorvaneApplication::StopService() {
    if (!service_) return;
    service_->Stop();
    if (service_->ConnectionsLeftBehind()) threadsLeftBehind_ = true;
    service_.reset();
}

bool CorvaneApplication::ServiceRunning() const { return service_ != nullptr; }

bool CorvaneApplication::ToggleService() {
    if (ServiceRunning()) {
        StopService();
    } else {
        StartService();
    }
    return ServiceRunning();
}

void CorvaneApplication::ChangeComputerName(const std::string& name) {
    SetComputerName(name);
    WriteSetting(kPcNameKey, name);
}

void CorvaneApplication::ChangePassword(const std::string& password) {
    {
        std::lock_guard<std::mutex> guard(passwordLock_);
        password_ = password;
    }
    if (service_) service_->SetPassword(password);
    WriteSetting(kPasswdKey, password);
}

std::string CorvaneApplication::Password() const {
    std::lock_guard<std::mutex> guard(passwordLock_);
    return password_;
}

void CorvaneApplication::SetFactors(int horizontal, int vertical) {
    HorizontalFactor = std::clamp(horizontal, 0, 100);
    VerticalFactor = std::clamp(vertical, 0, 100);
}

bool CorvaneApplication::PasswordHidden() const {
    return SettingIsYes(ReadSetting(kHidePasswdKey));
}

void CorvaneApplication::ChangePasswordHidden(bool hidden) {
    WriteSetting(kHidePasswdKey, hidden ? "yes" : "no");
}

bool CorvaneApplication::ChangeAutoStart(bool enabled) {
    autoStartOn_ = ApplyAutoStart(enabled);
    return autoStartOn_;
}

void CorvaneApplication::Shutdown() {
    if (!initialized_ || shutDown_) return;
    shutDown_ = true;
    StopService();
    worker = nullptr;
    // A presentation program that hangs in a call must not hang the shutdown: after the limit
    // the worker stays behind with everything it uses, and the program ends without it.
    if (!worker_->Stop(std::chrono::milliseconds(kWorkerStopLimitMs),
                       [this] { AnswerSentMessages(); })) {
        threadsLeftBehind_ = true;
    }
    // A stroke begun and never ended, or a key a command left down, must not outlive us: the
    // presenter would be left with a pressed button.
    input_->ReleaseAll();
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(HorizontalFactor));
    WriteSetting(kVertKey, text);
    std::snprintf(text, sizeof text, "%d", static_cast<int>(VerticalFactor));
    WriteSetting(kHorzKey, text);
    WriteSetting(kShowMainKey, ShowFlag == 1 ? "yes" : "no");
    automation_->RestoreSystemCursors();
}
