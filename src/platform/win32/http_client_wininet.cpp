// HTTP exchanges through WinINet. Certificates are checked against the system certificate store
// (WinINet cannot be given a CA file); the proxy is the system's Internet Options one unless the
// options turn it off.
#include <windows.h>

#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/detached_thread.h"
#include "platform/http_client.h"

namespace {

constexpr const char* kAgent = "CorvaneServer";

std::string SystemErrorText(DWORD code) {
    char text[512] = {};
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE wininet = GetModuleHandleA("wininet.dll");
    if (code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST && wininet != nullptr) {
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    }
    DWORD length = FormatMessageA(flags, wininet, code, 0, text, sizeof text, nullptr);
    while (length > 0 &&
           (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ')) {
        --length;
    }
    std::string result(text, length);
    char number[48];
    wsprintfA(number, result.empty() ? "WinINet error %lu" : " (%lu)", code);
    return result + number;
}

// A WinINet handle closed when it goes out of scope (children before parents, by declaration
// order); failures while closing are of no interest.
class InternetHandle {
public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() {
        if (handle_ != nullptr) InternetCloseHandle(handle_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_ = nullptr;
};

bool QueryText(HINTERNET request, DWORD query, std::string* value) {
    std::string buffer(256, '\0');
    for (int tries = 0; tries < 2; ++tries) {
        DWORD size = static_cast<DWORD>(buffer.size());
        DWORD index = 0;
        if (HttpQueryInfoA(request, query, buffer.data(), &size, &index)) {
            buffer.resize(size);
            *value = buffer;
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        buffer.assign(size + 1, '\0');
    }
    return false;
}

HttpResponseHead ReadHead(HINTERNET request) {
    HttpResponseHead head;
    DWORD status = 0;
    DWORD size = sizeof status;
    DWORD index = 0;
    if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                       &index)) {
        head.status = static_cast<int>(status);
    }
    std::string text;
    if (QueryText(request, HTTP_QUERY_CONTENT_LENGTH, &text)) {
        char* end = nullptr;
        const long long length = std::strtoll(text.c_str(), &end, 10);
        if (end != text.c_str() && *end == '\0' && length >= 0) head.contentLength = length;
    }
    QueryText(request, HTTP_QUERY_LOCATION, &head.location);
    return head;
}

// What the transfer thread hands to the exchanging thread, in order.
struct TransferEvent {
    enum Kind { kHead, kData, kEnd, kError } kind;
    HttpResponseHead head;
    std::string data;  // kData: one block; kError: the error text
};

// One exchange's meeting point. The transfer thread makes the blocking WinINet calls and queues
// what it gets; the exchanging thread waits for it with its own deadlines and runs the
// handler. Whoever finishes last frees it.
struct Transfer {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<TransferEvent> events;
    bool abandoned = false;  // the exchanging thread has gone: stop and close everything

    // Queues an event, waiting while the reader is far behind. False once abandoned.
    bool Push(TransferEvent event) {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [this] { return abandoned || events.size() < kMaxQueued; });
        if (abandoned) return false;
        events.push_back(std::move(event));
        changed.notify_all();
        return true;
    }
    bool Abandoned() {
        std::lock_guard<std::mutex> guard(lock);
        return abandoned;
    }

    static constexpr std::size_t kMaxQueued = 32;  // blocks read ahead
};

// The blocking part, on a thread of its own.
void RunTransfer(const std::shared_ptr<Transfer>& transfer, HttpRequest request, std::string url,
                 bool systemProxy) {
    auto fail = [&transfer](const std::string& why) {
        transfer->Push({TransferEvent::kError, {}, why});
    };
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;  // non-zero: point into `url`
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
        parts.lpszHostName == nullptr || parts.dwHostNameLength == 0) {
        return fail("not a usable address: " + url);
    }
    if (parts.nScheme != INTERNET_SCHEME_HTTPS) return fail("not an https address: " + url);
    const std::string host(parts.lpszHostName, parts.dwHostNameLength);
    std::string object = parts.lpszUrlPath != nullptr
                             ? std::string(parts.lpszUrlPath, parts.dwUrlPathLength)
                             : std::string();
    if (parts.lpszExtraInfo != nullptr) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty()) object.push_back('/');

    InternetHandle session(InternetOpenA(
        kAgent, systemProxy ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT, nullptr,
        nullptr, 0));
    if (!session) return fail(SystemErrorText(GetLastError()));
    DWORD connectTimeout = static_cast<DWORD>(request.connectTimeoutMs);
    DWORD receiveTimeout = static_cast<DWORD>(request.receiveTimeoutMs);
    DWORD retries = static_cast<DWORD>(request.connectAttempts);
    InternetSetOptionA(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout,
                       sizeof connectTimeout);
    InternetSetOptionA(session.get(), INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);

    InternetHandle connection(InternetConnectA(session.get(), host.c_str(), parts.nPort, nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection) return fail(SystemErrorText(GetLastError()));
    // No cache, no cookies, no dialogs, redirects handed back; certificate errors are errors
    // (no SECURITY_FLAG_IGNORE_* anywhere).
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT |
                        INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_SECURE;
    InternetHandle exchange(HttpOpenRequestA(connection.get(), request.method.c_str(),
                                             object.c_str(), nullptr, nullptr, nullptr, flags, 1));
    if (!exchange) return fail(SystemErrorText(GetLastError()));
    // The request's own handle takes the send and receive time-outs (set on the session they
    // are not applied everywhere).
    InternetSetOptionA(exchange.get(), INTERNET_OPTION_SEND_TIMEOUT, &connectTimeout,
                       sizeof connectTimeout);
    InternetSetOptionA(exchange.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout,
                       sizeof receiveTimeout);

    std::string headers;
    for (const std::string& header : request.headers) headers += header + "\r\n";
    if (transfer->Abandoned()) return;
    if (!HttpSendRequestA(exchange.get(), headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()),
                          request.body.empty() ? nullptr : request.body.data(),
                          static_cast<DWORD>(request.body.size()))) {
        return fail(SystemErrorText(GetLastError()));
    }
    if (!transfer->Push({TransferEvent::kHead, ReadHead(exchange.get()), {}})) return;
    char block[kHttpBlockSize];
    for (;;) {
        DWORD received = 0;
        if (!InternetReadFile(exchange.get(), block, sizeof block, &received)) {
            return fail(SystemErrorText(GetLastError()));
        }
        if (received == 0) {
            transfer->Push({TransferEvent::kEnd, {}, {}});
            return;
        }
        if (!transfer->Push({TransferEvent::kData, {}, std::string(block, received)})) return;
    }
}

// The blocking WinINet calls run on a thread per exchange while the calling thread waits with
// deadlines of its own: WinINet does not apply every time-out everywhere (under Wine a stalled
// TLS handshake never ends), and a call in progress cannot safely be interrupted. A transfer
// thread that outlives its deadline or a Cancel is left to end by itself; it touches nothing
// but its own Transfer.
class WinInetHttpClient : public HttpClient {
public:
    explicit WinInetHttpClient(HttpClientOptions options) : options_(std::move(options)) {}

protected:
    HttpResult ExchangeOnce(const HttpRequest& request, const std::string& url,
                            HttpHandler& handler, std::string* error) override {
        auto transfer = std::make_shared<Transfer>();
        {
            std::lock_guard<std::mutex> guard(currentLock_);
            if (Cancelled()) {
                *error = "cancelled";
                return HttpResult::kFailed;
            }
            current_ = transfer;
        }
        HttpResult result = HttpResult::kFailed;
        if (StartDetachedThread([transfer, request, url, systemProxy = options_.systemProxy] {
                RunTransfer(transfer, request, url, systemProxy);
            })) {
            result = Receive(*transfer, request, handler, error);
        } else {
            *error = "no thread for the transfer";
        }
        {
            std::lock_guard<std::mutex> guard(transfer->lock);
            transfer->abandoned = true;  // a finished thread does not care
        }
        transfer->changed.notify_all();
        std::lock_guard<std::mutex> guard(currentLock_);
        current_.reset();
        return result;
    }

    void OnCancel() override {
        std::lock_guard<std::mutex> guard(currentLock_);
        if (current_) {
            std::lock_guard<std::mutex> hold(current_->lock);
            current_->changed.notify_all();
        }
    }

private:
    // Runs the handler on what the transfer thread delivers.
    HttpResult Receive(Transfer& transfer, const HttpRequest& request, HttpHandler& handler,
                       std::string* error) {
        using Clock = std::chrono::steady_clock;
        // A little beyond WinINet's own time-outs, which normally end a call first: connecting,
        // then the reply (the TLS handshake counts as waiting for the reply), then each block.
        const auto headWait = std::chrono::milliseconds(
            request.connectTimeoutMs * std::max(1, request.connectAttempts) +
            request.receiveTimeoutMs + kDeadlineMarginMs);
        const auto blockWait =
            std::chrono::milliseconds(request.receiveTimeoutMs + kDeadlineMarginMs);
        auto deadline = Clock::now() + headWait;
        bool headSeen = false;
        for (;;) {
            TransferEvent event;
            {
                std::unique_lock<std::mutex> hold(transfer.lock);
                const bool ready = transfer.changed.wait_until(
                    hold, deadline, [&] { return !transfer.events.empty() || Cancelled(); });
                if (Cancelled()) {
                    *error = "cancelled";
                    return HttpResult::kFailed;
                }
                if (!ready) {
                    *error = headSeen ? "the server stopped sending" : "the server did not answer";
                    return HttpResult::kFailed;
                }
                event = std::move(transfer.events.front());
                transfer.events.pop_front();
                transfer.changed.notify_all();
            }
            switch (event.kind) {
                case TransferEvent::kHead:
                    headSeen = true;
                    if (!handler.OnResponse(event.head)) return HttpResult::kStopped;
                    break;
                case TransferEvent::kData:
                    if (!handler.OnData(event.data.data(), event.data.size())) {
                        return HttpResult::kStopped;
                    }
                    break;
                case TransferEvent::kEnd:
                    return HttpResult::kDone;
                case TransferEvent::kError:
                    *error = event.data;
                    return HttpResult::kFailed;
            }
            deadline = Clock::now() + blockWait;
        }
    }

    static constexpr int kDeadlineMarginMs = 1000;

    const HttpClientOptions options_;
    std::mutex currentLock_;
    std::shared_ptr<Transfer> current_;  // the exchange in progress, for Cancel
};

}  // namespace

std::unique_ptr<HttpClient> CreateHttpClient(const HttpClientOptions& options) {
    return std::make_unique<WinInetHttpClient>(options);
}
