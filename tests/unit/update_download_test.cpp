// The installer download against scripted replies: blocks, progress posts, the cancel request,
// the exact-length rule, the file left behind, and what is started afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "fakes/fake_http_client.h"
#include "fakes/recording_update_host.h"
#include "file_text.h"
#include "update/updater.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string Bytes(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + 3) % 256);
    return data;
}

// The file's contents, or "<missing>".
std::string FileContents(const std::string& path) { return ReadFileText(path, "<missing>"); }

class UpdateDownloadTest : public testing::Test {
protected:
    UpdateDownloadTest() {
        settings.serviceUrl = "https://updates.example/downloadapp.php";
        path = testing::TempDir() + "corvane_update_download_test.exe";
        host.downloadPath = path;
        std::remove(path.c_str());
    }
    ~UpdateDownloadTest() override { std::remove(path.c_str()); }

    std::string Download(const ScriptedReply& reply, int* result,
                         const std::string& url = kInstaller) {
        http.replies.push_back(reply);
        Updater updater(host, host, http, settings);
        CaptureStdout();
        *result = updater.DownloadUpdate(url);
        return GetCapturedStdout();
    }

    UpdateSettings settings;
    RecordingUpdateHost host;
    FakeHttpClient http;
    std::string path;
};

TEST_F(UpdateDownloadTest, Exactly2048BytesPostTwiceThenInstallAndShutDown) {
    int result = -1;
    const std::string out = Download(ScriptedReply::Body(200, Bytes(2048)), &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(out, "CODE=200\nSZ=2048\n");
    EXPECT_THAT(host.Events(), ElementsAre("progress 2048/2048", "progress 2048/2048",
                                           "install " + path, "shutdown"));
    EXPECT_EQ(FileContents(path), Bytes(2048));
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_EQ(http.requests[0].method, "GET");
    EXPECT_EQ(http.requests[0].url, kInstaller);
    EXPECT_EQ(http.requests[0].connectTimeoutMs, 5000);
    EXPECT_EQ(http.requests[0].connectAttempts, 1);
    EXPECT_EQ(http.requests[0].receiveTimeoutMs, 3000);
    EXPECT_GT(http.requests[0].maxRedirects, 0);
}

TEST_F(UpdateDownloadTest, OnePostPerBlockAndAFinalOne) {
    int result = -1;
    Download(ScriptedReply::Body(200, Bytes(5000)), &result);
    EXPECT_EQ(result, 0);
    EXPECT_THAT(host.Events(),
                ElementsAre("progress 2048/5000", "progress 4096/5000", "progress 5000/5000",
                            "progress 5000/5000", "install " + path, "shutdown"));
    EXPECT_EQ(FileContents(path), Bytes(5000));
}

TEST_F(UpdateDownloadTest, WhateverTheSystemDeliversBlocksAre2048Bytes) {
    const std::string data = Bytes(4500);
    ScriptedReply reply = ScriptedReply::Body(200, data);
    reply.blocks = {data.substr(0, 1000), data.substr(1000, 3000), data.substr(4000, 1),
                    data.substr(4001)};
    int result = -1;
    Download(reply, &result);
    EXPECT_EQ(result, 0);
    EXPECT_THAT(host.Events(),
                ElementsAre("progress 2048/4500", "progress 4096/4500", "progress 4500/4500",
                            "progress 4500/4500", "install " + path, "shutdown"));
    EXPECT_EQ(FileContents(path), data);
}

TEST_F(UpdateDownloadTest, NoContentLengthDownloadsNothing) {
    ScriptedReply reply = ScriptedReply::Body(200, Bytes(3000));
    reply.head.contentLength = -1;
    int result = 0;
    const std::string out = Download(reply, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(out, "CODE=200\nSZ=0\n");
    EXPECT_TRUE(host.Events().empty());
    EXPECT_EQ(FileContents(path), "<missing>");
    EXPECT_EQ(http.blocksTaken, 0);
}

TEST_F(UpdateDownloadTest, OnlyStatus200IsDownloaded) {
    for (int status : {0, 201, 206, 302, 404}) {
        int result = 0;
        const std::string out = Download(ScriptedReply::Body(status, Bytes(100)), &result);
        EXPECT_EQ(result, -1);
        EXPECT_EQ(out, "CODE=" + std::to_string(status == 0 ? 404 : status) + "\n");
    }
    EXPECT_TRUE(host.Events().empty());
    EXPECT_EQ(FileContents(path), "<missing>");
}

TEST_F(UpdateDownloadTest, ShortTransferLeavesThePartialFileAndStartsNothing) {
    ScriptedReply reply = ScriptedReply::Body(200, Bytes(2048));
    reply.head.contentLength = 4096;
    int result = 0;
    const std::string out = Download(reply, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(out, "CODE=200\nSZ=4096\n");
    EXPECT_THAT(host.Events(), ElementsAre("progress 2048/4096"));
    EXPECT_EQ(FileContents(path), Bytes(2048));
}

TEST_F(UpdateDownloadTest, MoreBytesThanAnnouncedStartNothing) {
    ScriptedReply reply = ScriptedReply::Body(200, Bytes(3000));
    reply.head.contentLength = 2048;
    int result = 0;
    Download(reply, &result);
    EXPECT_EQ(result, -1);
    EXPECT_THAT(host.Events(), ElementsAre("progress 2048/2048", "progress 3000/2048"));
}

TEST_F(UpdateDownloadTest, CancelTakesEffectAfterTheBlockInFlight) {
    host.cancelAfterPosts = 1;
    int result = 0;
    Download(ScriptedReply::Body(200, Bytes(8192)), &result);
    EXPECT_EQ(result, -1);
    EXPECT_THAT(host.Events(), ElementsAre("progress 2048/8192"));
    EXPECT_TRUE(http.handlerStopped);
    EXPECT_EQ(FileContents(path), Bytes(2048));
}

TEST_F(UpdateDownloadTest, CancelOnTheLastBlockStillStartsNothing) {
    host.cancelAfterPosts = 1;
    int result = 0;
    Download(ScriptedReply::Body(200, Bytes(2048)), &result);
    EXPECT_EQ(result, -1);
    EXPECT_THAT(host.Events(), ElementsAre("progress 2048/2048"));
}

TEST_F(UpdateDownloadTest, AnEarlierPartialFileIsDeletedFirst) {
    {
        std::ofstream old(path, std::ios::binary);
        old << "partial file of an earlier download";
    }
    int result = 0;
    Download(ScriptedReply::Body(404, "gone"), &result);
    EXPECT_EQ(FileContents(path), "<missing>");
    EXPECT_EQ(http.requests.size(), 1u);  // deleted before the request went out
}

TEST_F(UpdateDownloadTest, TransferErrorIsPrintedAndStartsNothing) {
    ScriptedReply reply = ScriptedReply::Body(200, Bytes(2048));
    reply.head.contentLength = 4096;
    reply.result = HttpResult::kFailed;
    reply.error = "Operation too slow";
    int result = 0;
    const std::string out = Download(reply, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(out, "CODE=200\nSZ=4096\nerror .<Operation too slow> \n");
    EXPECT_THAT(host.Events(), ElementsAre("progress 2048/4096"));
}

TEST_F(UpdateDownloadTest, AFileThatCannotBeCreatedStopsTheDownload) {
    host.downloadPath = testing::TempDir() + "no-such-folder-for-corvane/Setup.exe";
    int result = 0;
    const std::string out = Download(ScriptedReply::Body(200, Bytes(100)), &result);
    EXPECT_EQ(result, -1);
    EXPECT_THAT(out, HasSubstr("CODE=200\nSZ=100\n"));
    EXPECT_THAT(out, HasSubstr("Update download: cannot create "));
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(UpdateDownloadTest, NoPlaceForTheInstallerDownloadsNothing) {
    host.downloadPath = "";  // the system named no temporary folder
    int result = 0;
    const std::string out = Download(ScriptedReply::Body(200, Bytes(100)), &result);
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(http.requests.empty());
    EXPECT_THAT(out,
                HasSubstr("Update: no folder to save the installer in; nothing downloaded.\n"));
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(UpdateDownloadTest, PlainHttpInstallerIsRefusedWithoutAnyRequest) {
    {
        std::ofstream old(path, std::ios::binary);
        old << "earlier";
    }
    int result = 0;
    const std::string out =
        Download(ScriptedReply::Body(200, Bytes(100)), &result, "http://updates.example/Setup.exe");
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(http.requests.empty());
    EXPECT_THAT(out, HasSubstr("Update refused: the installer address "
                               "http://updates.example/Setup.exe is not https; nothing "
                               "downloaded.\n"));
    EXPECT_TRUE(host.Events().empty());
    EXPECT_EQ(FileContents(path), "earlier");  // nothing touched
}

TEST_F(UpdateDownloadTest, HttpsRedirectsAreFollowed) {
    http.replies.push_back(ScriptedReply::Moved(302, "/mirror/Setup.exe"));
    int result = -1;
    Download(ScriptedReply::Body(200, Bytes(2048)), &result);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(http.requests.size(), 2u);
    EXPECT_EQ(http.requests[1].url, "https://updates.example/mirror/Setup.exe");
}

TEST_F(UpdateDownloadTest, RedirectToPlainHttpIsRefused) {
    http.replies.push_back(ScriptedReply::Moved(301, "http://updates.example/Setup.exe"));
    int result = 0;
    const std::string out = Download(ScriptedReply::Body(200, Bytes(2048)), &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(http.requests.size(), 1u);
    EXPECT_THAT(out,
                HasSubstr("error .<not an https address: http://updates.example/Setup.exe> \n"));
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(UpdateDownloadTest, RedirectsEndAtTheLimit) {
    settings.downloadRedirects = 2;
    for (int i = 0; i < 3; ++i) http.replies.push_back(ScriptedReply::Moved(302, "again"));
    int result = 0;
    const std::string out = Download(ScriptedReply::Body(200, Bytes(1)), &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(http.requests.size(), 3u);
    EXPECT_EQ(out, "CODE=302\n");  // the third redirect is the answer
}

TEST(RedirectTest, ResolvesLocations) {
    const std::string base = "https://a.example:8443/files/x/setup.exe?v=1";
    EXPECT_EQ(ResolveRedirect(base, "https://b.example/y"), "https://b.example/y");
    EXPECT_EQ(ResolveRedirect(base, "HTTP://b.example/y"), "HTTP://b.example/y");
    EXPECT_EQ(ResolveRedirect(base, "//c.example/z"), "https://c.example/z");
    EXPECT_EQ(ResolveRedirect(base, "/root.exe"), "https://a.example:8443/root.exe");
    EXPECT_EQ(ResolveRedirect(base, "other.exe"), "https://a.example:8443/files/x/other.exe");
    EXPECT_EQ(ResolveRedirect(base, "?v=2"), "https://a.example:8443/files/x/setup.exe?v=2");
    EXPECT_EQ(ResolveRedirect("https://a.example", "x"), "https://a.example/x");
    EXPECT_EQ(ResolveRedirect(base, ""), "");
    EXPECT_EQ(ResolveRedirect("not a url", "x"), "");
}

TEST(RedirectTest, OnlyHttpsIsAllowed) {
    EXPECT_TRUE(HttpUrlAllowed("https://a/b"));
    EXPECT_TRUE(HttpUrlAllowed("HTTPS://a/b"));
    EXPECT_FALSE(HttpUrlAllowed("http://a/b"));
    EXPECT_FALSE(HttpUrlAllowed("ftp://a/b"));
    EXPECT_FALSE(HttpUrlAllowed("https://"));
    EXPECT_FALSE(HttpUrlAllowed("12"));
    EXPECT_FALSE(HttpUrlAllowed(""));
}

}  // namespace
