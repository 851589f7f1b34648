#include "fakes/fake_http_client.h"

ScriptedReply ScriptedReply::Body(int status, const std::string& body) {
    ScriptedReply reply;
    reply.head.status = status;
    reply.head.contentLength = static_cast<std::int64_t>(body.size());
    for (std::size_t at = 0; at < body.size(); at += kHttpBlockSize) {
        reply.blocks.push_back(body.substr(at, kHttpBlockSize));
    }
    return reply;
}

ScriptedReply ScriptedReply::Moved(int status, const std::string& location) {
    ScriptedReply reply;
    reply.head.status = status;
    reply.head.location = location;
    return reply;
}

ScriptedReply ScriptedReply::Failure(const std::string& error) {
    ScriptedReply reply;
    reply.result = HttpResult::kFailed;
    reply.error = error;
    reply.sendHead = false;
    return reply;
}

HttpResult FakeHttpClient::ExchangeOnce(const HttpRequest& request, const std::string& url,
                                        HttpHandler& handler, std::string* error) {
    HttpRequest seen = request;
    seen.url = url;
    requests.push_back(seen);
    blocksTaken = 0;
    handlerStopped = false;
    if (replies.empty()) {
        *error = "no reply scripted";
        return HttpResult::kFailed;
    }
    ScriptedReply reply = replies.front();
    replies.pop_front();
    if (reply.sendHead) {
        if (!handler.OnResponse(reply.head)) {
            handlerStopped = true;
            return HttpResult::kStopped;
        }
        for (const std::string& block : reply.blocks) {
            if (!handler.OnData(block.data(), block.size())) {
                handlerStopped = true;
                return HttpResult::kStopped;
            }
            ++blocksTaken;
        }
    }
    if (reply.result == HttpResult::kFailed) *error = reply.error;
    return reply.result;
}
