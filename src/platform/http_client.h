// HTTP exchanges for the updater: one request, its reply head, its body in blocks.
//
// Only https addresses are accepted, with the server's certificate checked against the trusted
// certificate authorities (the system's, or a CA file instead where the system allows it).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The body's block size: HttpHandler::OnData gets blocks of exactly this many bytes, the last
// block of a reply possibly shorter.
inline constexpr std::size_t kHttpBlockSize = 2048;

struct HttpRequest {
    std::string method = "GET";
    std::string url;
    std::vector<std::string> headers;  // "Name: value", no line ends
    std::string body;                  // sent as is, exactly this many bytes
    int connectTimeoutMs = 5000;       // name lookup, connection and TLS handshake
    int connectAttempts = 1;           // attempts per address before giving up
    int receiveTimeoutMs = 5000;       // longest silence while waiting for the reply or its body
    // 0: a redirect is the answer. Otherwise the number of https redirects followed (a redirect
    // to any other scheme fails the exchange); the handler sees only the final reply.
    int maxRedirects = 0;
};

struct HttpResponseHead {
    int status = 0;                   // 0 when the reply carried none the client could read
    std::int64_t contentLength = -1;  // -1 without a usable Content-Length
    std::string location;             // the Location header as sent, or empty
};

// Receives one reply, on the thread that called Exchange. Returning false from either call
// stops the exchange at once (Exchange then returns kStopped).
class HttpHandler {
public:
    virtual ~HttpHandler() = default;
    virtual bool OnResponse(const HttpResponseHead& head) = 0;
    // `size` is kHttpBlockSize, except for the reply's last block (1..kHttpBlockSize).
    virtual bool OnData(const char* data, std::size_t size) = 0;
};

enum class HttpResult {
    kDone,     // the reply was read to its end (a connection that ends before the announced
               // length also ends the body: the handler counts what it got)
    kStopped,  // the handler said stop
    kFailed,   // no reply or a broken one; `error` says why
};

class HttpClient {
public:
    virtual ~HttpClient() = default;

    // Runs one exchange on the calling thread, following redirects as the request allows.
    // Refuses any address that is not https without contacting it (and logs it). One exchange
    // at a time per client.
    HttpResult Exchange(const HttpRequest& request, HttpHandler& handler, std::string* error);

    // Ends the exchange in progress (Exchange returns kFailed with "cancelled") and makes every
    // later one fail at once. Any thread. libcurl notices within about a second; the WinINet
    // client returns at once and leaves its transfer thread to end by itself.
    void Cancel();
    bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

protected:
    // One request to `url`, no redirects followed; the handler sees every reply, including
    // redirects, and the body in blocks of any size.
    virtual HttpResult ExchangeOnce(const HttpRequest& request, const std::string& url,
                                    HttpHandler& handler, std::string* error) = 0;
    virtual void OnCancel() {}

private:
    std::atomic<bool> cancelled_{false};
};

struct HttpClientOptions {
    // A PEM file of certificate authorities trusted instead of the system's. Empty: the system's.
    // Only libcurl can use it; Windows always checks against the system certificate store.
    std::string caFile;
    // Whether the system's proxy settings apply (libcurl: the proxy environment variables;
    // Windows: the Internet Options). Tests talking to 127.0.0.1 turn it off.
    bool systemProxy = true;
};

// This system's client: libcurl on Linux, WinINet on Windows.
std::unique_ptr<HttpClient> CreateHttpClient(const HttpClientOptions& options);

// Whether `url` may be used: "https://..." (scheme in any case) with something after it.
bool HttpUrlAllowed(const std::string& url);

// The absolute address a redirect's Location names, seen from `base`; empty when it cannot be
// made out. Location may be absolute, scheme-relative ("//host/x"), absolute-path ("/x") or
// relative ("x", resolved against the base's folder).
std::string ResolveRedirect(const std::string& base, const std::string& location);
