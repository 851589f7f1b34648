// The installer download: blocks into a file with progress, then start it and end the program.
#include <cstdint>
#include <cstdio>
#include <limits>

#include "platform/text_conversion.h"
#include "support/log.h"
#include "support/text.h"
#include "support/trace.h"
#include "update/updater.h"

namespace {

// Writes the reply into the download file block by block, posting progress after each block
// and looking at the cancel request after each block.
class InstallerWriter : public HttpHandler {
public:
    InstallerWriter(UpdateDialogue& dialogue, const Updater& updater, const std::string& path)
        : dialogue_(dialogue), updater_(updater), path_(path) {}
    ~InstallerWriter() override { Close(); }

    bool OnResponse(const HttpResponseHead& head) override {
        const int status = head.status != 0 ? head.status : 404;
        TracePrintf("CODE=%d\n", status);
        if (status != 200) return false;
        // A length the progress message cannot carry is treated like none.
        const std::int64_t length = head.contentLength;
        total = length > 0 && length <= std::numeric_limits<std::int32_t>::max() ? length : 0;
        TracePrintf("SZ=%d\n", static_cast<int>(total));
        if (total == 0) return false;  // no length, no download
        file_ = std::fopen(path_.c_str(), "wb");
        if (file_ == nullptr) {
            LogPrintf("Update download: cannot create %s.\n", path_.c_str());
            return false;
        }
        return true;
    }

    bool OnData(const char* data, std::size_t size) override {
        if (std::fwrite(data, 1, size, file_) != size) {
            LogPrintf("Update download: writing %s failed.\n", path_.c_str());
            return false;
        }
        received += static_cast<std::int64_t>(size);
        dialogue_.PostProgress(received, total);
        if (dialogue_.CancelRequested()) {
            cancelled = true;
            return false;
        }
        return !updater_.Stopping();
    }

    // Closes the file; the caller then decides about it.
    void Close() {
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
    }

    std::int64_t total = 0;
    std::int64_t received = 0;
    bool cancelled = false;

private:
    UpdateDialogue& dialogue_;
    const Updater& updater_;
    const std::string path_;
    std::FILE* file_ = nullptr;
};

}  // namespace

int Updater::DownloadUpdate(const std::string& url) {
    if (!HttpUrlAllowed(url)) {
        LogPrintf("Update refused: the installer address %s is not https; nothing downloaded.\n",
                  EscapeControls(url).c_str());
        return -1;
    }
    const std::string path = dialogue_.DownloadFilePath();
    if (path.empty()) {
        LogPrintf("Update: no folder to save the installer in; nothing downloaded.\n");
        return -1;
    }
    // A partial file of an earlier attempt goes first; it may as well not exist.
    std::remove(path.c_str());

    HttpRequest request;
    request.method = "GET";
    request.url = url;
    request.connectTimeoutMs = settings_.downloadConnectTimeoutMs;
    request.connectAttempts = settings_.connectAttempts;
    request.receiveTimeoutMs = settings_.downloadReceiveTimeoutMs;
    request.maxRedirects = settings_.downloadRedirects;

    InstallerWriter writer(dialogue_, *this, path);
    std::string error;
    const HttpResult result = http_.Exchange(request, writer, &error);
    writer.Close();
    if (result == HttpResult::kFailed) {
        if (!Stopping()) TracePrintf("error .<%s> \n", EscapeControls(CutAnsi(error, 255)).c_str());
        return -1;
    }
    // Exactly the announced length, and the user did not cancel: anything else is left as a
    // partial file for the next download to delete.
    if (writer.total == 0 || writer.received != writer.total || writer.cancelled || Stopping()) {
        return -1;
    }
    dialogue_.PostProgress(writer.total, writer.total);
    dialogue_.StartInstaller(path);
    dialogue_.SendShutdown();
    return 0;
}
