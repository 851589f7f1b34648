// The updater over real HTTPS against the scripted service on 127.0.0.1 (update_server.py), with
// this system's client: libcurl on Linux, WinINet under Wine. The certificate is checked: the
// test trusts its own self-signed one, and a second one nobody trusts must be refused.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "fakes/recording_update_host.h"
#include "platform/http_client.h"
#include "update/updater.h"
#include "update_server.h"

namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string Installer(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + 3) % 256);
    return data;
}

class UpdateHttpsTest : public testing::Test {
protected:
    static void SetUpTestSuite() { server_ = UpdateServer::Started(&startError_); }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        ASSERT_NE(server_, nullptr) << startError_;
        client_ = CreateHttpClient(server_->ClientOptions());
        host.downloadPath = server_->LocalPath("Slidora.exe");
        std::remove(host.downloadPath.c_str());
    }

    UpdateServer& server() { return *server_; }

    // Settings for the service case `name` ("/<name>/downloadapp.php" on the trusted listener).
    UpdateSettings Settings(const std::string& name, const std::string& listener = "https") {
        UpdateSettings settings;
        settings.serviceUrl = server().Url(listener, "/" + name + "/downloadapp.php");
        return settings;
    }

    // One check; returns what it printed.
    std::string Check(const std::string& name, std::string* url,
                      const std::string& listener = "https") {
        Updater updater(host, host, *client_, Settings(name, listener));
        CaptureStdout();
        updater.CheckForUpdate(url);
        return GetCapturedStdout();
    }

    // One download of "/files/<name>"; returns what it printed.
    std::string Download(const std::string& name, int* result,
                         const std::string& listener = "https") {
        Updater updater(host, host, *client_, Settings("unused"));
        CaptureStdout();
        *result = updater.DownloadUpdate(server().Url(listener, "/files/" + name));
        return GetCapturedStdout();
    }

    // Against `listener`, the check and the download both end with an error line.
    void ExpectCheckAndDownloadFail(const std::string& listener) {
        std::string url = "x";
        EXPECT_THAT(Check("ok", &url, listener), StartsWith("error .<"));
        EXPECT_EQ(url, "");
        int result = 0;
        EXPECT_THAT(Download("exact2048", &result, listener), StartsWith("error .<"));
        EXPECT_EQ(result, -1);
    }

    std::string Downloaded() {
        std::ifstream in(host.downloadPath, std::ios::binary);
        if (!in) return "<missing>";
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    RecordingUpdateHost host;
    std::unique_ptr<HttpClient> client_;

private:
    static inline std::unique_ptr<UpdateServer> server_;
    static inline std::string startError_;
};

TEST_F(UpdateHttpsTest, OkWithAnAddressIsAnUpdate) {
    std::string url;
    EXPECT_EQ(Check("ok", &url), "Code=200\n");
    EXPECT_EQ(url, server().Url("https", "/files/exact2048"));
}

TEST_F(UpdateHttpsTest, UpperCaseOkIsNoUpdate) {
    std::string url = "x";
    EXPECT_EQ(Check("upper", &url), "Code=200\n");
    EXPECT_EQ(url, "");
}

TEST_F(UpdateHttpsTest, EmptyMessageIsNoUpdate) {
    UpdateSettings settings = Settings("empty");
    Updater updater(host, host, *client_, settings);
    updater.wait = [](int) { return true; };
    CaptureStdout();
    EXPECT_EQ(updater.UpdateOnce(), -1);
    EXPECT_EQ(GetCapturedStdout(), "Doing Update....\nCode=200\nUPDATE_URL=\nURL is Empty\n");
    EXPECT_THAT(host.Events(), IsEmpty());
}

TEST_F(UpdateHttpsTest, A302ReplyIsReadNotFollowed) {
    std::string url;
    EXPECT_EQ(Check("found", &url), "Code=302\n");
    EXPECT_EQ(url, server().Url("https", "/files/from302"));
    // Its Location pointed at another check, which was never asked.
    EXPECT_THAT(server().Requests(), Contains("https POST /found/downloadapp.php"));
    EXPECT_THAT(server().Requests(), testing::Not(Contains(HasSubstr("/followed/"))));
}

TEST_F(UpdateHttpsTest, A404ReplyIsDiscarded) {
    std::string url = "x";
    EXPECT_EQ(Check("notfound", &url), "Code=404\nReturnj Code=404\n[] json error\n");
    EXPECT_EQ(url, "");
}

TEST_F(UpdateHttpsTest, MalformedJsonIsAJsonError) {
    std::string url = "x";
    const std::string out = Check("malformed", &url);
    EXPECT_EQ(url, "");
    EXPECT_EQ(out, "Code=200\n[{\"status\":\"ok\",\"message\":\"" +
                       server().Url("https", "/files/exact2048") + "\"] json error\n");
}

TEST_F(UpdateHttpsTest, StatusAndMessageWithoutTextAreNoUpdate) {
    for (const char* kind : {"object", "array", "true", "false", "null"}) {
        for (const char* member : {"status-", "message-"}) {
            std::string url = "x";
            const std::string name = std::string(member) + kind;
            EXPECT_EQ(Check(name, &url), "Code=200\n") << name;
            EXPECT_EQ(url, "") << name;
        }
    }
}

TEST_F(UpdateHttpsTest, TheFormArrivesExactlyAsSent) {
    host.computerName = "Meeting Room & Co=1";
    host.officeErrors = "3-0x800401f3";
    host.programs = "mswps";
    std::string url;
    Check("fields", &url);
    EXPECT_EQ(server().ReadFile("fields.body"),
              "package=windows.slidora&version=1.52&uid=00-1A-2B-3C-4D-5E"
              "&mid=Meeting Room & Co=1&rom=mswps&net=3-0x800401f3");
    EXPECT_THAT(server().ReadFile("fields.headers"),
                HasSubstr("Content-Type: application/x-www-form-urlencoded"));
}

TEST_F(UpdateHttpsTest, AnUntrustedCertificateIsRefused) {
    ExpectCheckAndDownloadFail("untrusted");
    EXPECT_EQ(Downloaded(), "<missing>");
    // The handshake failed before any request was made.
    for (const std::string& request : server().Requests()) {
        EXPECT_THAT(request, testing::Not(StartsWith("untrusted ")));
    }
}

TEST_F(UpdateHttpsTest, ClosedPortFailsAtOnce) {
    std::string url = "x";
    const std::string out = Check("ok", &url, "closed");
    EXPECT_EQ(url, "");
    EXPECT_THAT(out, StartsWith("error .<"));
}

TEST_F(UpdateHttpsTest, ServerThatNeverAnswersEndsWithTheTimeOuts) {
    // The listener accepts no connection and never answers: the check ends after its 5 s
    // and the download after its own time-outs, both with an error line.
    ExpectCheckAndDownloadFail("silent");
}

TEST_F(UpdateHttpsTest, Exactly2048BytesArePostedTwiceAndStarted) {
    int result = -1;
    EXPECT_EQ(Download("exact2048", &result), "CODE=200\nSZ=2048\n");
    EXPECT_EQ(result, 0);
    EXPECT_THAT(host.Events(), ElementsAre("progress 2048/2048", "progress 2048/2048",
                                           "install " + host.downloadPath, "shutdown"));
    EXPECT_EQ(Downloaded(), Installer(2048));
}

TEST_F(UpdateHttpsTest, BlocksOf2048Bytes) {
    int result = -1;
    Download("blocks5000", &result);
    EXPECT_EQ(result, 0);
    EXPECT_THAT(host.Events(),
                ElementsAre("progress 2048/5000", "progress 4096/5000", "progress 5000/5000",
                            "progress 5000/5000", "install " + host.downloadPath, "shutdown"));
    EXPECT_EQ(Downloaded(), Installer(5000));
}

TEST_F(UpdateHttpsTest, NoContentLengthDownloadsNothing) {
    int result = 0;
    EXPECT_EQ(Download("nolength", &result), "CODE=200\nSZ=0\n");
    EXPECT_EQ(result, -1);
    EXPECT_THAT(host.Events(), IsEmpty());
    EXPECT_EQ(Downloaded(), "<missing>");
}

TEST_F(UpdateHttpsTest, ShortTransferLeavesAPartialFileAndStartsNothing) {
    int result = 0;
    const std::string out = Download("short", &result);
    EXPECT_THAT(out, StartsWith("CODE=200\nSZ=4096\n"));
    EXPECT_EQ(result, -1);
    EXPECT_THAT(host.Events(), ElementsAre("progress 2048/4096"));
    EXPECT_EQ(Downloaded(), Installer(2048));
}

TEST_F(UpdateHttpsTest, CancelAfterABlockStopsTheTransfer) {
    host.cancelAfterPosts = 1;
    int result = 0;
    EXPECT_EQ(Download("cancel8192", &result), "CODE=200\nSZ=8192\n");
    EXPECT_EQ(result, -1);
    EXPECT_THAT(host.Events(), ElementsAre("progress 2048/8192"));
    EXPECT_EQ(Downloaded(), Installer(2048));
}

TEST_F(UpdateHttpsTest, AnEarlierPartialFileIsDeletedFirst) {
    {
        std::ofstream earlier(host.downloadPath, std::ios::binary);
        earlier << "the partial file of an earlier download";
    }
    int result = 0;
    EXPECT_EQ(Download("no-such-file", &result), "CODE=404\n");
    EXPECT_EQ(Downloaded(), "<missing>");
}

TEST_F(UpdateHttpsTest, HttpsRedirectsAreFollowed) {
    int result = -1;
    EXPECT_EQ(Download("redirect", &result), "CODE=200\nSZ=2048\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Downloaded(), Installer(2048));
}

TEST_F(UpdateHttpsTest, RelativeRedirectsAreFollowed) {
    int result = -1;
    EXPECT_EQ(Download("redirect-relative", &result), "CODE=200\nSZ=2048\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Downloaded(), Installer(2048));
}

TEST_F(UpdateHttpsTest, PlainHttpIsNeverUsed) {
    // An installer address of http://, from the service or given directly, and a redirect to
    // one: refused, and the plain listener never hears a thing.
    UpdateSettings settings = Settings("plainurl");
    Updater updater(host, host, *client_, settings);
    updater.wait = [](int) { return true; };
    CaptureStdout();
    EXPECT_EQ(updater.UpdateOnce(), -1);
    std::string out = GetCapturedStdout();
    EXPECT_THAT(out, HasSubstr("Update refused: the installer address " +
                               server().Url("http", "/files/exact2048") + " is not https.\n"));
    EXPECT_THAT(host.Events(), IsEmpty());  // not even asked

    int result = 0;
    out = Download("exact2048", &result, "http");
    EXPECT_EQ(result, -1);
    EXPECT_THAT(out, HasSubstr("is not https; nothing downloaded.\n"));

    out = Download("redirect-plain", &result);
    EXPECT_EQ(result, -1);
    EXPECT_THAT(out, HasSubstr("error .<not an https address: " +
                               server().Url("http", "/files/exact2048") + "> \n"));
    EXPECT_THAT(host.Events(), IsEmpty());
    EXPECT_EQ(Downloaded(), "<missing>");

    // And a service address of http:// is not asked at all.
    std::string url;
    out = Check("ok", &url, "http");
    EXPECT_THAT(out, HasSubstr("Update check refused"));

    for (const std::string& request : server().Requests()) {
        EXPECT_THAT(request, testing::Not(StartsWith("http ")));
    }
}

TEST_F(UpdateHttpsTest, AWholeCycle) {
    Updater updater(host, host, *client_, Settings("ok"));
    updater.wait = [](int) { return true; };
    CaptureStdout();
    EXPECT_EQ(updater.UpdateOnce(), 0);
    const std::string installer = server().Url("https", "/files/exact2048");
    EXPECT_EQ(GetCapturedStdout(), "Doing Update....\nCode=200\nUPDATE_URL=" + installer +
                                       "\nBegin DOwnload File...\nCODE=200\nSZ=2048\n");
    EXPECT_THAT(host.Events(),
                ElementsAre("ask " + installer, "begin", "progress 2048/2048", "progress 2048/2048",
                            "install " + host.downloadPath, "shutdown", "end"));
}

// Cancel (the program's end) interrupts a transfer waiting for data.
class StallHandler : public HttpHandler {
public:
    explicit StallHandler(HttpClient& client) : client_(client) {}
    bool OnResponse(const HttpResponseHead&) override { return true; }
    bool OnData(const char*, std::size_t size) override {
        received += size;
        client_.Cancel();  // from here on the server sends nothing for a minute
        return true;
    }
    std::size_t received = 0;

private:
    HttpClient& client_;
};

TEST_F(UpdateHttpsTest, CancelEndsATransferInProgress) {
    HttpRequest request;
    request.url = server().Url("https", "/files/stall");
    request.receiveTimeoutMs = 60'000;  // far beyond the suite's patience
    StallHandler handler(*client_);
    std::string error;
    EXPECT_EQ(client_->Exchange(request, handler, &error), HttpResult::kFailed);
    EXPECT_EQ(error, "cancelled");
    EXPECT_EQ(handler.received, 2048u);
}

}  // namespace
