// The connection to this user's LibreOffice: found by its single-instance pipe (connected to,
// never trusted by the file's existence), asked to accept a UNO connection on a pipe of our own
// through the `soffice --accept` hand-off the office documents, and held until it breaks.
// Nothing here ever starts an office: without a running one the hand-off is not made.
//
// Every call into the office goes through Call(), which turns UNO exceptions into
// AutomationError and lets a watchdog cut the connection when the office stops answering, so
// that a hung office costs the phone a few seconds and the key fallbacks, never the worker.
//
// Thread contract: Connect, Call and the show marks on the worker thread (the bench tool: its
// main thread); the watchdog is a thread of its own; Close from any thread once the worker is
// done.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/presentation/XSlideShowController.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include "platform/automation.h"
#include "support/stop_signal.h"

namespace css = com::sun::star;

class OfficeLink {
public:
    using LogLine = void (*)(const char* line);
    struct Options {
        // The office's program folder (soffice, fundamentalrc, bootstraprc).
        std::string programDir = CORVANE_LIBREOFFICE_PROGRAM_DIR;
        // A call that has not returned by then is given up and the connection cut.
        std::chrono::milliseconds callLimit{5000};
        // After such a cut, how long Connect fails at once instead of trying again.
        std::chrono::milliseconds pauseAfterHang{10000};
        // How long the `soffice --accept` hand-off may take, and the connection after it.
        std::chrono::milliseconds handOffLimit{10000};
    };

    explicit OfficeLink(LogLine log) : OfficeLink(log, Options()) {}
    OfficeLink(LogLine log, Options options);
    ~OfficeLink();
    OfficeLink(const OfficeLink&) = delete;
    OfficeLink& operator=(const OfficeLink&) = delete;

    // Connects unless connected. Throws AutomationError: kOfficeNotRunning when no office of
    // this user runs, kOfficeUnreachable when it does but did not let us in.
    void Connect();
    // Whether the connection is up (it may still break at the next call).
    bool Connected() const;
    // The office's desktop; throws like Connect.
    css::uno::Reference<css::frame::XDesktop2> Desktop();
    // Drops the connection. Any thread; afterwards Connect may connect again.
    void Close();

    // Runs `body`, a sequence of calls into the office, under the watchdog; UNO exceptions
    // leave as AutomationError (kOfficeUnreachable when the connection broke, kOfficeCallFailed
    // when the office refused), AutomationError passes unchanged.
    template <typename Body>
    auto Call(Body&& body) -> decltype(body()) {
        CallGuard guard(*this);
        try {
            return body();
        } catch (const css::lang::DisposedException& e) {
            throw Translate(e, true);
        } catch (const css::uno::Exception& e) {
            throw Translate(e, false);
        }
    }

    // The profile ("user installation") URL this user's office uses, as the office works it
    // out from its bootstraprc; empty when it cannot be told.
    std::string UserInstallationUrl() const;
    // The office's single-instance pipe name for a profile URL:
    // "OSL_PIPE_<uid>_SingleOfficeIPC_<MD5 of the URL's UTF-16 units, hex without padding>".
    static std::string InstancePipeName(const std::string& profileUrl, unsigned uid);
    // Whether a Unix socket by that name in /tmp (or /var/tmp) accepts a connection.
    static bool PipeAccepts(const std::string& pipeName);

    // The blank screen this program put up in the show run by `controller`: 0 none, or the
    // state it set (kShowBlackScreen, kShowWhiteScreen). The office cannot tell a blank screen
    // from its end screen, so the program remembers its own.
    int BlankOf(const css::uno::Reference<css::presentation::XSlideShowController>& controller);
    void MarkBlank(const css::uno::Reference<css::presentation::XSlideShowController>& controller,
                   int state);

    void Log(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

private:
    class DisposeListener;
    // Marks one call in flight for the watchdog.
    class CallGuard {
    public:
        explicit CallGuard(OfficeLink& link);
        ~CallGuard();

    private:
        OfficeLink& link_;
        bool outer_;
    };

    AutomationError Translate(const css::uno::Exception& e, bool disposed);
    // The local UNO runtime, bootstrapped once per process; throws AutomationError.
    css::uno::Reference<css::uno::XComponentContext> LocalContext();
    // One attempt to open the bridge on our accept pipe; false when nobody accepts there.
    bool OpenBridge(const std::string& acceptName);
    // Runs `soffice --accept=...` so that the running office opens our pipe; false on failure.
    bool HandOff(const std::string& acceptName);
    void WatchdogMain();

    const LogLine log_;
    const Options options_;
    std::string instancePipe_;  // worked out at the first Connect
    std::string acceptName_;    // "corvane_<the profile's hash>"

    // Worker thread only.
    css::uno::Reference<css::lang::XComponent> bridge_;
    css::uno::Reference<css::frame::XDesktop2> desktop_;
    css::uno::Reference<css::presentation::XSlideShowController> blankShow_;
    int blankState_ = 0;
    // Set by the bridge's dispose listener when the connection went away.
    std::shared_ptr<std::atomic<bool>> brokenFlag_;

    // The watchdog's stop; its lock guards the bookkeeping below.
    StopSignal stop_;
    int depth_ = 0;  // nested Call()s on the worker
    std::uint64_t callNumber_ = 0;
    StopSignal::Clock::time_point callStart_{};
    StopSignal::Clock::time_point pausedUntil_{};
    css::uno::Reference<css::lang::XComponent> bridgeForWatchdog_;
    std::thread watchdog_;
};
