#include "commands/handler_context.h"

#include <cstdio>

#include "platform/text_conversion.h"
#include "service/handlers.h"
#include "support/text.h"
#include "support/trace.h"

namespace {

constexpr size_t kNameLimit = 259;

}  // namespace

std::string HandlerContext::ComputerName() const {
    std::lock_guard<std::mutex> guard(nameLock_);
    return computerName_;
}

void HandlerContext::SetComputerName(const std::string& name) {
    std::lock_guard<std::mutex> guard(nameLock_);
    computerName_ = name;
}

int AnswerDiscoveryProbe(const char* clientId, const char* parameter, char* reply, void* owner) {
    auto* context = static_cast<HandlerContext*>(owner);
    TracePrintf("STA: CID=%s, PP=%s\n", EscapeControls(clientId).c_str(),
                EscapeControls(parameter).c_str());
    std::string name(CutAnsi(context->ComputerName(), kNameLimit));
    for (char& c : name) {
        if (c == ',') c = '.';
    }
    context->stationTable.Record(clientId, name);
    const std::string utf8(CutUtf8(AnsiToUtf8(name), kNameLimit));
    int n = std::snprintf(reply, kReplyBufferSize, "Vola:%s,%s,%d\n",
                          context->HardwareAddressText.c_str(), utf8.c_str(),
                          static_cast<int>(context->tcpPort.load()));
    return n < 0 ? 0 : (n < kReplyBufferSize ? n : kReplyBufferSize - 1);
}

std::string FormatHardwareAddress(const unsigned char bytes[6]) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2X-%.2X-%.2X-%.2X-%.2X-%.2X", bytes[0], bytes[1], bytes[2],
                  bytes[3], bytes[4], bytes[5]);
    return text;
}
