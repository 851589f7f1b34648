// What the service's command and discovery handlers reach through their `owner` pointer: the
// announced identity of this computer, the pointer sensitivity, the probing phones and the
// login notice. The program's main object derives from it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "commands/station_table.h"
#include "presentation/msi_ppt.h"
#include "presentation/presentation_request.h"

class AutomationHost;
class InputInjector;

class HandlerContext {
public:
    // Pointer and keyboard input go to `input` (null drops them); the presentation object gets
    // the host and the start-failure counter. The objects must outlive this one.
    explicit HandlerContext(InputInjector* input = nullptr, AutomationHost* host = nullptr,
                            StartFailureCounter* startFailures = nullptr)
        : ppt(host, input, startFailures), input(input) {}
    virtual ~HandlerContext() = default;

    // The computer name phones see (narrow program text). The user-interface thread replaces
    // it while discovery threads read it; readers always get a whole text.
    std::string ComputerName() const;
    void SetComputerName(const std::string& name);

    // Shows the login notice with at most 255 bytes of text. Any thread; returns at once.
    virtual void ShowConnectionPopup(const char* text) { (void)text; }

    std::atomic<std::int32_t> tcpPort{33589};
    // Six upper-case hexadecimal pairs joined by "-"; written once before the service starts.
    std::string HardwareAddressText;
    // Pointer sensitivity 0..100 (50 is one to one), written by the settings page.
    std::atomic<std::int32_t> HorizontalFactor{50};
    std::atomic<std::int32_t> VerticalFactor{50};
    StationTable stationTable;
    // Where presentation requests go; null until the worker runs (requests are then lost).
    std::atomic<PresentationRequestSink*> worker{nullptr};
    // The presentation facts the worker keeps up to date.
    msi_ppt ppt;
    // Pointer and keyboard input; null drops it.
    InputInjector* const input;

private:
    mutable std::mutex nameLock_;
    std::string computerName_;
};

// The discovery handler: records the prober and answers "Vola:<hw>,<name>,<port>\n".
// `owner` is a HandlerContext. Called on the discovery threads.
int AnswerDiscoveryProbe(const char* clientId, const char* parameter, char* reply, void* owner);

// Formats a hardware address as "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X".
std::string FormatHardwareAddress(const unsigned char bytes[6]);
