// HTTP exchanges through libcurl (one easy handle per exchange, on the caller's thread).
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <mutex>

#include "platform/http_client.h"

namespace {

// libcurl's global state is set up once per process, before the first handle.
void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// True when `line` ("Name: value\r\n") is the named header (name in lower case, matched in any
// case); *value is then its trimmed value.
bool HeaderValue(const char* line, std::size_t size, const char* name, std::string* value) {
    std::size_t i = 0;
    for (; name[i] != '\0'; ++i) {
        if (i >= size || std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return false;
    }
    if (i >= size || line[i] != ':') return false;
    std::string text(line + i + 1, size - i - 1);
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    *value = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    return true;
}

// State of one transfer, reached from libcurl's callbacks.
struct Transfer {
    CURL* curl = nullptr;
    HttpHandler* handler = nullptr;
    const std::atomic<bool>* cancelled = nullptr;
    std::string location;
    bool headSent = false;        // OnResponse has been called
    bool handlerStopped = false;  // the handler returned false
    bool cancelledNow = false;    // the progress callback saw Cancel

    // Hands the reply head to the handler once; false when the handler stops.
    bool SendHead() {
        if (headSent) return !handlerStopped;
        headSent = true;
        HttpResponseHead head;
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        head.status = static_cast<int>(status);
        curl_off_t length = -1;
        if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
            length >= 0) {
            head.contentLength = length;
        }
        head.location = location;
        if (!handler->OnResponse(head)) handlerStopped = true;
        return !handlerStopped;
    }
};

size_t OnHeader(char* line, size_t, size_t size, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    if (transfer->headSent) return size;  // trailers
    std::string value;
    if (size >= 5 && std::equal(line, line + 5, "HTTP/")) {
        transfer->location.clear();  // a new head (after an interim 1xx reply)
    } else if (HeaderValue(line, size, "location", &value)) {
        transfer->location = value;
    } else if (size <= 2 && (line[0] == '\r' || line[0] == '\n')) {
        long status = 0;
        curl_easy_getinfo(transfer->curl, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 100 && status < 200) return size;  // interim reply; the real one follows
        if (!transfer->SendHead()) return 0;
    }
    return size;
}

size_t OnBody(char* data, size_t, size_t size, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    if (!transfer->SendHead()) return 0;
    if (!transfer->handler->OnData(data, size)) {
        transfer->handlerStopped = true;
        return 0;
    }
    return size;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    if (transfer->cancelled->load(std::memory_order_relaxed)) {
        transfer->cancelledNow = true;
        return 1;
    }
    return 0;
}

class CurlHttpClient : public HttpClient {
public:
    explicit CurlHttpClient(HttpClientOptions options) : options_(std::move(options)) {
        InitialiseCurlOnce();
    }

protected:
    HttpResult ExchangeOnce(const HttpRequest& request, const std::string& url,
                            HttpHandler& handler, std::string* error) override {
        HttpResult result = HttpResult::kFailed;
        for (int attempt = 1;; ++attempt) {
            CURLcode code = CURLE_OK;
            result = ExchangeWithCurl(request, url, handler, error, &code);
            if (code != CURLE_COULDNT_CONNECT || attempt >= request.connectAttempts) break;
        }
        return result;
    }

private:
    HttpResult ExchangeWithCurl(const HttpRequest& request, const std::string& url,
                                HttpHandler& handler, std::string* error, CURLcode* code) {
        CURL* curl = curl_easy_init();
        if (curl == nullptr) {
            *error = "libcurl could not start a transfer";
            return HttpResult::kFailed;
        }
        Transfer transfer;
        transfer.curl = curl;
        transfer.handler = &handler;
        transfer.cancelled = &cancelledFlag();

        char message[CURL_ERROR_SIZE] = {};
        curl_slist* headers = nullptr;
        for (const std::string& header : request.headers) {
            headers = curl_slist_append(headers, header.c_str());
        }
        // The body is small and goes at once; no "Expect: 100-continue" round trip.
        headers = curl_slist_append(headers, "Expect:");

        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_USERAGENT, "CorvaneServer");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // other threads run; no SIGALRM
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!options_.caFile.empty()) {
            // The file replaces the system's authorities, the built-in folder included.
            curl_easy_setopt(curl, CURLOPT_CAINFO, options_.caFile.c_str());
            curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
        }
        if (!options_.systemProxy) curl_easy_setopt(curl, CURLOPT_PROXY, "");
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(request.connectTimeoutMs));
        // The receive time-out: the transfer ends when not a byte came for that long (libcurl
        // counts it in whole seconds).
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                         static_cast<long>(std::max(1, (request.receiveTimeoutMs + 999) / 1000)));
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        if (request.method == "POST") {
            curl_easy_setopt(curl, CURLOPT_POST, 1L);
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(request.body.size()));
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        } else if (request.method != "GET") {
            curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        }

        *code = curl_easy_perform(curl);
        HttpResult result = HttpResult::kDone;
        if (transfer.handlerStopped) {
            result = HttpResult::kStopped;
        } else if (transfer.cancelledNow) {
            *error = "cancelled";
            result = HttpResult::kFailed;
        } else if (*code == CURLE_OK || *code == CURLE_PARTIAL_FILE) {
            // A body cut short ends like a complete one; the handler compares the length.
            if (!transfer.SendHead()) result = HttpResult::kStopped;
        } else {
            *error = message[0] != '\0' ? message : curl_easy_strerror(*code);
            while (!error->empty() && (error->back() == '\n' || error->back() == '\r')) {
                error->pop_back();
            }
            result = HttpResult::kFailed;
        }
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
        return result;
    }

    const std::atomic<bool>& cancelledFlag() const { return cancelFlag_; }
    void OnCancel() override { cancelFlag_.store(true, std::memory_order_relaxed); }

    const HttpClientOptions options_;
    std::atomic<bool> cancelFlag_{false};
};

}  // namespace

std::unique_ptr<HttpClient> CreateHttpClient(const HttpClientOptions& options) {
    return std::make_unique<CurlHttpClient>(options);
}
