#include "platform/posix/uno/office_link.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include <rtl/digest.h>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/ustring.hxx>

#include "platform/posix/office_module.h"

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using rtl::OUString;

namespace {

constexpr const char* kSource = "LibreOffice";

std::string ToUtf8(const OUString& text) {
    return rtl::OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr();
}

OUString FromUtf8(const std::string& text) {
    return OUString(text.c_str(), static_cast<sal_Int32>(text.size()), RTL_TEXTENCODING_UTF8);
}

AutomationError Failure(std::int32_t hr, const std::string& text) {
    return AutomationError{hr, true, text, kSource};
}

}  // namespace

// Tells the link when the bridge goes away (the office ended or the connection was cut). It
// holds only the flag, so a late notice after the link is gone touches nothing.
class OfficeLink::DisposeListener : public cppu::WeakImplHelper1<css::lang::XEventListener> {
public:
    explicit DisposeListener(std::shared_ptr<std::atomic<bool>> flag) : flag_(std::move(flag)) {}
    void SAL_CALL disposing(const css::lang::EventObject&) override { *flag_ = true; }

private:
    std::shared_ptr<std::atomic<bool>> flag_;
};

OfficeLink::CallGuard::CallGuard(OfficeLink& link) : link_(link) {
    std::lock_guard<std::mutex> guard(link_.stop_.Lock());
    outer_ = link_.depth_++ == 0;
    if (outer_) {
        ++link_.callNumber_;
        link_.callStart_ = StopSignal::Clock::now();
        link_.stop_.Notify();
    }
}

OfficeLink::CallGuard::~CallGuard() {
    std::lock_guard<std::mutex> guard(link_.stop_.Lock());
    --link_.depth_;
    if (outer_) link_.stop_.Notify();
}

OfficeLink::OfficeLink(LogLine log, Options options)
    : log_(log),
      options_(std::move(options)),
      brokenFlag_(std::make_shared<std::atomic<bool>>(false)) {
    watchdog_ = std::thread(&OfficeLink::WatchdogMain, this);
}

OfficeLink::~OfficeLink() {
    Close();
    stop_.Stop();
    watchdog_.join();
}

void OfficeLink::Log(const char* format, ...) {
    if (log_ == nullptr) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    log_(line);
}

std::string OfficeLink::UserInstallationUrl() const {
    // The office reads its profile location from bootstraprc (normally
    // "$SYSUSERCONFIG/libreoffice/4", that is $XDG_CONFIG_HOME or ~/.config); reading it the same
    // way finds the same profile.
    rtl::Bootstrap bootstraprc(FromUtf8("file://" + options_.programDir + "/bootstraprc"));
    OUString url;
    if (!bootstraprc.getFrom("UserInstallation", url)) return {};
    return ToUtf8(url);
}

std::string OfficeLink::InstancePipeName(const std::string& profileUrl, unsigned uid) {
    // The office names its pipe after an MD5 of the profile URL's UTF-16 code units in memory
    // order, each byte in hex without leading zeros.
    OUString url = FromUtf8(profileUrl);
    sal_uInt8 digest[RTL_DIGEST_LENGTH_MD5];
    rtl_digest_MD5(url.getStr(), static_cast<sal_uInt32>(url.getLength() * sizeof(sal_Unicode)),
                   digest, sizeof digest);
    std::string hash;
    for (sal_uInt8 byte : digest) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%x", byte);
        hash += hex;
    }
    return "OSL_PIPE_" + std::to_string(uid) + "_SingleOfficeIPC_" + hash;
}

bool OfficeLink::PipeAccepts(const std::string& pipeName) {
    // Pipes live in /tmp, or in /var/tmp where /tmp cannot be used. A killed office leaves its
    // socket file behind, so only a connection that is accepted counts.
    for (const char* folder : {"/tmp/", "/var/tmp/"}) {
        std::string path = folder + pipeName;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path) continue;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (accepted) return true;
    }
    return false;
}

Reference<css::uno::XComponentContext> OfficeLink::LocalContext() {
    // One runtime per process: bootstrapping again would load the type libraries again.
    static std::mutex lock;
    static Reference<css::uno::XComponentContext> context;
    static bool failed = false;
    std::lock_guard<std::mutex> guard(lock);
    if (!context.is() && !failed) {
        // Without it the runtime finds neither its types nor its services (and the first typed
        // call crashes).
        rtl::Bootstrap::set(
            "URE_BOOTSTRAP",
            FromUtf8("vnd.sun.star.pathname:" + options_.programDir + "/fundamentalrc"));
        try {
            context = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const css::uno::Exception& e) {
            Log("The UNO runtime of LibreOffice did not start: %s\n", ToUtf8(e.Message).c_str());
        } catch (const cppu::BootstrapException& e) {
            Log("The UNO runtime of LibreOffice did not start: %s\n",
                ToUtf8(e.getMessage()).c_str());
        }
        failed = !context.is();
    }
    if (!context.is()) throw Failure(kOfficeUnreachable, "The UNO runtime did not start");
    return context;
}

void OfficeLink::Connect() {
    if (bridge_.is() && !*brokenFlag_) return;
    bridge_.clear();
    desktop_.clear();
    blankShow_.clear();
    blankState_ = 0;
    {
        std::lock_guard<std::mutex> guard(stop_.Lock());
        if (StopSignal::Clock::now() < pausedUntil_) {
            throw Failure(kOfficeUnreachable, "LibreOffice stopped answering a moment ago");
        }
        bridgeForWatchdog_.clear();
    }
    if (instancePipe_.empty()) {
        std::string profile = UserInstallationUrl();
        if (profile.empty()) throw Failure(kOfficeNotRunning, "No LibreOffice profile is known");
        instancePipe_ = InstancePipeName(profile, getuid());
        // Our accept pipe is named after the profile too: other users' and other profiles'
        // offices open pipes of their own names.
        acceptName_ = "corvane_" + instancePipe_.substr(instancePipe_.rfind('_') + 1);
    }
    if (!PipeAccepts(instancePipe_)) throw Failure(kOfficeNotRunning, "LibreOffice is not running");
    LocalContext();
    try {
        // An office that let us in before still listens (also after this program restarted).
        if (!OpenBridge(acceptName_)) {
            if (!HandOff(acceptName_)) {
                throw Failure(kOfficeUnreachable, "LibreOffice did not take the accept request");
            }
            // The office opens the pipe a moment after the hand-off returned.
            auto deadline = StopSignal::Clock::now() + options_.handOffLimit;
            while (!OpenBridge(acceptName_)) {
                if (StopSignal::Clock::now() >= deadline ||
                    stop_.SleepFor(std::chrono::milliseconds(20))) {
                    throw Failure(kOfficeUnreachable, "LibreOffice did not open its UNO pipe");
                }
            }
        }
    } catch (const AutomationError& e) {
        // Whatever broke while connecting, the office could not be reached.
        throw Failure(kOfficeUnreachable, e.description);
    }
    Log("Connected to LibreOffice (pipe %s).\n", acceptName_.c_str());
}

bool OfficeLink::OpenBridge(const std::string& acceptName) {
    Reference<css::uno::XComponentContext> local = LocalContext();
    Reference<css::connection::XConnection> connection;
    try {
        connection =
            css::connection::Connector::create(local)->connect(FromUtf8("pipe,name=" + acceptName));
    } catch (const css::connection::NoConnectException&) {
        return false;
    } catch (const css::uno::Exception& e) {
        Log("LibreOffice's UNO pipe refused us: %s\n", ToUtf8(e.Message).c_str());
        return false;
    }
    auto flag = std::make_shared<std::atomic<bool>>(false);
    Call([&] {
        Reference<css::bridge::XBridge> bridge =
            css::bridge::BridgeFactory::create(local)->createBridge("", "urp", connection, {});
        Reference<css::lang::XComponent> component(bridge, UNO_QUERY_THROW);
        component->addEventListener(new DisposeListener(flag));
        {
            // From here on a hung office can be cut off: the calls below wait for its answers.
            std::lock_guard<std::mutex> guard(stop_.Lock());
            bridgeForWatchdog_ = component;
        }
        Reference<css::uno::XComponentContext> remote(
            bridge->getInstance("StarOffice.ComponentContext"), UNO_QUERY_THROW);
        desktop_ = css::frame::Desktop::create(remote);
        bridge_ = component;
        brokenFlag_ = flag;
    });
    return true;
}

bool OfficeLink::HandOff(const std::string& acceptName) {
    // The office documents `--accept` for this: a second soffice hands its options to the
    // running office through the single-instance pipe and ends at once. The argument list is
    // built before fork, so the child only calls what is safe between fork and exec.
    std::string program = options_.programDir + "/soffice";
    std::vector<std::string> args = {
        program, "--nologo", "--nodefault",
        "--accept=pipe,name=" + acceptName + ";urp;StarOffice.ComponentContext"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    sigset_t none;
    sigemptyset(&none);
    pid_t pid = fork();
    if (pid < 0) {
        Log("soffice --accept: fork failed (%s)\n", std::strerror(errno));
        return false;
    }
    if (pid == 0) {
        // A group of its own, so that everything it started can be ended with it. The signals
        // this program blocks, and its sockets, are not the office's business.
        setsid();
        sigprocmask(SIG_SETMASK, &none, nullptr);
        int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        syscall(SYS_close_range, 3u, ~0u, 0u);
        execv(argv[0], argv.data());
        _exit(127);
    }
    auto deadline = StopSignal::Clock::now() + options_.handOffLimit;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
            Log("soffice --accept ended with status %d.\n",
                WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status));
            return false;
        }
        if (done < 0 || StopSignal::Clock::now() >= deadline ||
            stop_.SleepFor(std::chrono::milliseconds(10))) {
            // The office did not take the hand-off: it hangs, or it ended meanwhile and the
            // hand-off became an office of its own. Neither may stay.
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            Log("soffice --accept did not finish; given up.\n");
            return false;
        }
    }
}

bool OfficeLink::Connected() const { return bridge_.is() && !*brokenFlag_; }

Reference<css::frame::XDesktop2> OfficeLink::Desktop() {
    Connect();
    return desktop_;
}

void OfficeLink::Close() {
    Reference<css::lang::XComponent> bridge;
    {
        std::lock_guard<std::mutex> guard(stop_.Lock());
        bridge = bridgeForWatchdog_;
        bridgeForWatchdog_.clear();
    }
    if (!bridge.is()) return;
    try {
        bridge->dispose();
    } catch (const css::uno::Exception&) {
        // already gone
    }
}

AutomationError OfficeLink::Translate(const css::uno::Exception& e, bool disposed) {
    // The bridge reports a lost connection as DisposedException (or, once it is gone, as any
    // runtime exception): the office ended, or the watchdog cut it off.
    if (disposed || *brokenFlag_) {
        *brokenFlag_ = true;
        return Failure(kOfficeUnreachable, ToUtf8(e.Message));
    }
    return Failure(kOfficeCallFailed, ToUtf8(e.Message));
}

int OfficeLink::BlankOf(const Reference<css::presentation::XSlideShowController>& controller) {
    return blankShow_.is() && blankShow_ == controller ? blankState_ : 0;
}

void OfficeLink::MarkBlank(const Reference<css::presentation::XSlideShowController>& controller,
                           int state) {
    blankShow_ = state != 0 ? controller : Reference<css::presentation::XSlideShowController>();
    blankState_ = state;
}

void OfficeLink::WatchdogMain() {
    std::unique_lock<std::mutex> held(stop_.Lock());
    for (;;) {
        stop_.Wait(held, [&] { return depth_ > 0; });
        if (stop_.Stopped()) return;
        std::uint64_t number = callNumber_;
        auto same = [&] { return depth_ == 0 || callNumber_ != number; };
        if (stop_.WaitUntil(held, callStart_ + options_.callLimit, same)) {
            if (stop_.Stopped()) return;
            continue;
        }
        // The office has not answered in time: cutting the bridge makes the waiting call fail.
        Reference<css::lang::XComponent> bridge = bridgeForWatchdog_;
        bridgeForWatchdog_.clear();
        pausedUntil_ = StopSignal::Clock::now() + options_.pauseAfterHang;
        held.unlock();
        Log("LibreOffice has not answered for %lld ms: the connection to it is dropped.\n",
            static_cast<long long>(options_.callLimit.count()));
        if (bridge.is()) {
            try {
                bridge->dispose();
            } catch (const css::uno::Exception&) {
                // it went away by itself
            }
        }
        held.lock();
        stop_.Wait(held, same);
        if (stop_.Stopped()) return;
    }
}
