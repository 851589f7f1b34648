// The update check: the form, the POST, and the reading of the service's JSON reply.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/text_conversion.h"
#include "support/json.h"
#include "support/log.h"
#include "support/text.h"
#include "support/trace.h"
#include "update/updater.h"

namespace {

// A reply longer than this is no update service's answer; the check gives up on it.
constexpr std::size_t kMaxReplyBytes = 64 * 1024;

// Collects the reply: its status and its body with every line feed left out (a carriage
// return before one stays), as if the lines had been read one by one and joined.
class ReplyReader : public HttpHandler {
public:
    bool OnResponse(const HttpResponseHead& head) override {
        status = head.status;
        return true;
    }
    bool OnData(const char* data, std::size_t size) override {
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] != '\n') body.push_back(data[i]);
        }
        received += size;
        if (received > kMaxReplyBytes) {
            tooLong = true;
            return false;
        }
        return true;
    }

    int status = 0;
    std::string body;
    std::size_t received = 0;
    bool tooLong = false;
};

// The decoded text of a member's value; null for values without text (objects, arrays, true,
// false, null). Released with std::free.
char* DecodeValue(const JsonNode* key) { return JsonDecodeString(key->firstChild->text); }

}  // namespace

std::string FormatUpdateVersion(const std::uint16_t parts[4]) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d", parts[2], parts[3]);
    return text;
}

std::string BuildUpdateForm(const UpdateForm& form) {
    return "package=windows.slidora&version=" + form.version + "&uid=" + form.uid +
           "&mid=" + form.mid + "&rom=" + form.rom + "&net=" + form.net;
}

int ReadUpdateReply(const std::string& body, std::string* url) {
    url->clear();
    JsonNode* root = nullptr;
    const int parsed = JsonParse(body.c_str(), &root);
    const JsonNode* status = parsed == kJsonOk ? JsonFindMember(root, "status") : nullptr;
    const JsonNode* message = parsed == kJsonOk ? JsonFindMember(root, "message") : nullptr;
    if (status == nullptr || status->firstChild == nullptr || message == nullptr ||
        message->firstChild == nullptr) {
        TracePrintf("[%s] json error\n", EscapeControls(body).c_str());
        JsonFreeTree(&root);
        return -1;
    }
    int result = -1;
    char* statusText = DecodeValue(status);
    if (statusText != nullptr && std::strcmp(statusText, "ok") == 0) {
        char* messageText = DecodeValue(message);
        if (messageText != nullptr) *url = messageText;
        std::free(messageText);
        result = 0;
    }
    std::free(statusText);
    JsonFreeTree(&root);
    return result;
}

int Updater::CheckForUpdate(std::string* url) {
    url->clear();
    if (!HttpUrlAllowed(settings_.serviceUrl)) {
        LogPrintf("Update check refused: the service address %s is not https.\n",
                  settings_.serviceUrl.c_str());
        return -1;
    }
    std::uint16_t parts[4] = {};
    if (!facts_.ProductVersion(parts)) {
        LogPrintf("Get File Version Error.\n ");
        return -1;
    }
    UpdateForm form;
    form.version = FormatUpdateVersion(parts);
    form.uid = facts_.HardwareAddress();
    form.mid = facts_.ComputerName();
    form.rom = facts_.PresentationPrograms();
    form.net = facts_.OfficeInitErrors();

    HttpRequest request;
    request.method = "POST";
    request.url = settings_.serviceUrl;
    request.headers = {"Content-Type: application/x-www-form-urlencoded"};
    request.body = BuildUpdateForm(form);
    request.connectTimeoutMs = settings_.checkConnectTimeoutMs;
    request.connectAttempts = settings_.connectAttempts;
    request.receiveTimeoutMs = settings_.checkReceiveTimeoutMs;
    request.maxRedirects = 0;  // a redirect's own body is the answer

    ReplyReader reply;
    std::string error;
    const HttpResult result = http_.Exchange(request, reply, &error);
    if (result == HttpResult::kStopped && reply.tooLong) {
        error = "the reply is longer than " + std::to_string(kMaxReplyBytes) + " bytes";
    }
    if (result != HttpResult::kDone) {
        if (!Stopping()) TracePrintf("error .<%s> \n", EscapeControls(CutAnsi(error, 255)).c_str());
        return -1;
    }
    const int status = reply.status != 0 ? reply.status : 404;
    TracePrintf("Code=%d\n", status);
    std::string body = std::move(reply.body);
    if (status < 200 || status > 399) {
        TracePrintf("Returnj Code=%d\n", status);
        body.clear();
    }
    return ReadUpdateReply(body, url);
}
