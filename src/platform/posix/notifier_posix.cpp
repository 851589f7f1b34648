// Login notices as freedesktop notifications through libnotify, loaded at run time so that the
// program neither needs it to build nor to run.
#include <dlfcn.h>

#include "platform/notice_thread.h"
#include "platform/notifier.h"
#include "support/text.h"

namespace {

constexpr const char* kAppName = "CorvaneServer";
constexpr int kNoticeTimeoutMs = 5000;

// The few libnotify and GLib entry points used, with GLib's types spelled out (gboolean and
// gint are int; the objects are only passed along).
struct NotifyNotification;
struct GlibError;
using InitFn = int (*)(const char* appName);
using NewFn = NotifyNotification* (*)(const char* summary, const char* body, const char* icon);
using UpdateFn = int (*)(NotifyNotification*, const char* summary, const char* body,
                         const char* icon);
using SetTimeoutFn = void (*)(NotifyNotification*, int timeoutMs);
using ShowFn = int (*)(NotifyNotification*, GlibError** error);
using UnrefFn = void (*)(void* object);
using ErrorFreeFn = void (*)(GlibError* error);

struct Libnotify {
    bool usable = false;
    NewFn create = nullptr;
    UpdateFn update = nullptr;
    SetTimeoutFn setTimeout = nullptr;
    ShowFn show = nullptr;
    UnrefFn unref = nullptr;
    ErrorFreeFn freeError = nullptr;
};

template <typename Fn>
Fn Symbol(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
}

// Loaded and initialised once per process, on the first notice; never unloaded (GLib keeps
// threads of its own). A missing library or a failed initialisation is not retried.
const Libnotify& LoadLibnotify() {
    static const Libnotify loaded = [] {
        Libnotify lib;
        void* library = dlopen("libnotify.so.4", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return lib;
        // The GLib functions come from libnotify's own dependencies, found through its handle.
        auto init = Symbol<InitFn>(library, "notify_init");
        lib.create = Symbol<NewFn>(library, "notify_notification_new");
        lib.update = Symbol<UpdateFn>(library, "notify_notification_update");
        lib.setTimeout = Symbol<SetTimeoutFn>(library, "notify_notification_set_timeout");
        lib.show = Symbol<ShowFn>(library, "notify_notification_show");
        lib.unref = Symbol<UnrefFn>(library, "g_object_unref");
        lib.freeError = Symbol<ErrorFreeFn>(library, "g_error_free");
        lib.usable = init && lib.create && lib.update && lib.setTimeout && lib.show && lib.unref &&
                     lib.freeError && init(kAppName) != 0;
        return lib;
    }();
    return loaded;
}

// GLib rejects text that is not UTF-8; a phone's name may be anything.
std::string ValidUtf8(const std::string& text) { return EncodeUtf8(DecodeUtf8(text)); }

// One notification object for the notifier's whole life: showing it again with new text
// replaces the notice on screen instead of adding another.
class DesktopNotice {
public:
    DesktopNotice() = default;
    DesktopNotice(const DesktopNotice&) = delete;
    DesktopNotice& operator=(const DesktopNotice&) = delete;
    ~DesktopNotice() {
        if (notification_ != nullptr) LoadLibnotify().unref(notification_);
    }

    // False when libnotify is missing or no notification service took the notice.
    // Notice thread only.
    bool Show(const std::string& title, const std::string& body) {
        const Libnotify& lib = LoadLibnotify();
        if (!lib.usable) return false;
        // libnotify refuses an empty summary.
        const std::string summary = title.empty() ? kAppName : ValidUtf8(title);
        const std::string text = ValidUtf8(body);
        if (notification_ == nullptr) {
            notification_ = lib.create(summary.c_str(), text.c_str(), nullptr);
            if (notification_ == nullptr) return false;
        } else if (lib.update(notification_, summary.c_str(), text.c_str(), nullptr) == 0) {
            return false;
        }
        lib.setTimeout(notification_, kNoticeTimeoutMs);
        GlibError* error = nullptr;
        const bool shown = lib.show(notification_, &error) != 0;
        if (error != nullptr) lib.freeError(error);
        return shown;
    }

private:
    NotifyNotification* notification_ = nullptr;
};

class PosixConnectionNotifier : public ConnectionNotifier {
public:
    explicit PosixConnectionNotifier(NoticeConsoleLine consoleLine) : consoleLine_(consoleLine) {}

    void Show(const std::string& title, const std::string& body) override {
        thread_.Post(title, body);
    }
    bool WaitUntilShown(int timeoutMs) override { return thread_.WaitIdle(timeoutMs); }

private:
    // Declared before the thread so that they outlive it.
    const NoticeConsoleLine consoleLine_;
    DesktopNotice notice_;
    NoticeThread thread_{[this](const std::string& title, const std::string& body) {
        if (!notice_.Show(title, body) && consoleLine_ != nullptr) {
            PrintNoticeLine(consoleLine_(title, body));
        }
    }};
};

}  // namespace

std::unique_ptr<ConnectionNotifier> CreateConnectionNotifier(NoticeConsoleLine consoleLine) {
    return std::make_unique<PosixConnectionNotifier>(consoleLine);
}
