#include "platform/http_client.h"

#include <algorithm>
#include <cctype>

#include "support/log.h"

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
        if (i >= text.size()) return false;
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Length of a URL scheme followed by ':' at the start of `text`, or 0.
std::size_t SchemeLength(const std::string& text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ':') return i;
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return 0;
    }
    return 0;
}

// Hands every reply on, except a redirect that is to be followed: that one is only noted, and
// the exchange stops there.
class RedirectCatcher : public HttpHandler {
public:
    RedirectCatcher(HttpHandler& inner, bool follow) : inner_(inner), follow_(follow) {}

    bool OnResponse(const HttpResponseHead& head) override {
        if (follow_ && IsRedirect(head.status) && !head.location.empty()) {
            location = head.location;
            return false;
        }
        return inner_.OnResponse(head);
    }
    bool OnData(const char* data, std::size_t size) override { return inner_.OnData(data, size); }

    std::string location;  // set when a redirect is to be followed

private:
    HttpHandler& inner_;
    const bool follow_;
};

// Cuts the body into blocks of exactly kHttpBlockSize bytes (the last one possibly shorter),
// whatever sizes the system delivers.
class BlockAssembler : public HttpHandler {
public:
    explicit BlockAssembler(HttpHandler& inner) : inner_(inner) { block_.reserve(kHttpBlockSize); }

    bool OnResponse(const HttpResponseHead& head) override { return inner_.OnResponse(head); }
    bool OnData(const char* data, std::size_t size) override {
        while (size > 0) {
            const std::size_t take = std::min(size, kHttpBlockSize - block_.size());
            block_.append(data, take);
            data += take;
            size -= take;
            if (block_.size() == kHttpBlockSize && !Deliver()) return false;
        }
        return true;
    }
    // Hands over what is left at the end of the body.
    bool Finish() { return block_.empty() || Deliver(); }

private:
    bool Deliver() {
        const bool more = inner_.OnData(block_.data(), block_.size());
        block_.clear();
        return more;
    }
    HttpHandler& inner_;
    std::string block_;
};

}  // namespace

bool HttpUrlAllowed(const std::string& url) {
    return StartsWithNoCase(url, "https://") && url.size() > 8;
}

std::string ResolveRedirect(const std::string& base, const std::string& location) {
    if (location.empty()) return std::string();
    if (SchemeLength(location) != 0) return location;
    const std::size_t schemeEnd = SchemeLength(base);
    if (schemeEnd == 0 || base.compare(schemeEnd, 3, "://") != 0) return std::string();
    if (location.starts_with("//")) return base.substr(0, schemeEnd + 1) + location;
    const std::size_t authorityEnd = base.find_first_of("/?#", schemeEnd + 3);
    const std::string origin = base.substr(0, authorityEnd);
    if (location[0] == '/') return origin + location;
    if (authorityEnd == std::string::npos || base[authorityEnd] != '/') {
        return origin + "/" + location;
    }
    const std::size_t pathEnd = base.find_first_of("?#", authorityEnd);
    const std::string path = base.substr(authorityEnd, pathEnd - authorityEnd);
    if (location[0] == '?') return origin + path + location;
    return origin + path.substr(0, path.rfind('/') + 1) + location;
}

HttpResult HttpClient::Exchange(const HttpRequest& request, HttpHandler& handler,
                                std::string* error) {
    std::string url = request.url;
    for (int redirects = 0;; ++redirects) {
        if (Cancelled()) {
            *error = "cancelled";
            return HttpResult::kFailed;
        }
        if (!HttpUrlAllowed(url)) {
            LogPrintf("HTTP: %s refused: not an https address.\n", url.c_str());
            *error = "not an https address: " + url;
            return HttpResult::kFailed;
        }
        BlockAssembler blocks(handler);
        RedirectCatcher catcher(blocks, redirects < request.maxRedirects);
        HttpResult result = ExchangeOnce(request, url, catcher, error);
        if (catcher.location.empty()) {
            if (result == HttpResult::kDone && !blocks.Finish()) result = HttpResult::kStopped;
            return result;
        }
        const std::string next = ResolveRedirect(url, catcher.location);
        if (next.empty()) {
            *error = "unusable redirect to " + catcher.location;
            return HttpResult::kFailed;
        }
        url = next;
    }
}

void HttpClient::Cancel() {
    cancelled_.store(true, std::memory_order_relaxed);
    OnCancel();
}
