// An HTTP client that plays scripted replies and records the requests, so the updater's logic
// can be checked without a network. Redirects are followed by the real HttpClient::Exchange.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/http_client.h"

struct ScriptedReply {
    HttpResult result = HttpResult::kDone;  // how the exchange ends once the blocks are out
    std::string error;                      // for kFailed
    bool sendHead = true;                   // false: fail before any reply (no connection)
    HttpResponseHead head;
    std::vector<std::string> blocks;  // the body as the system hands it over (any sizes)

    static ScriptedReply Body(int status, const std::string& body);
    static ScriptedReply Failure(const std::string& error);
    // A redirect (`status` 301, 302, …) to `location`, without a body.
    static ScriptedReply Moved(int status, const std::string& location);
};

// The installer address the scripted update service names.
inline constexpr const char* kInstaller = "https://updates.example/files/Setup.exe";

class FakeHttpClient : public HttpClient {
public:
    std::deque<ScriptedReply> replies;  // one per request, in order
    std::vector<HttpRequest> requests;  // as received (url: the address actually used)
    // How many blocks the handler accepted in the last exchange, and whether it stopped it.
    int blocksTaken = 0;
    bool handlerStopped = false;

protected:
    HttpResult ExchangeOnce(const HttpRequest& request, const std::string& url,
                            HttpHandler& handler, std::string* error) override;
};
