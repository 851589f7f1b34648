// The update check against scripted replies: the form, the request, the status rules and the
// reading of the JSON reply, with the exact standard-output lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_http_client.h"
#include "fakes/recording_update_host.h"
#include "update/updater.h"

namespace {

using testing::HasSubstr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr const char* kService = "https://updates.example/svc/downloadapp.php";
class UpdateCheckTest : public testing::Test {
protected:
    UpdateCheckTest() { settings.serviceUrl = kService; }

    // Runs one check against `reply`; returns what it printed.
    std::string Check(const ScriptedReply& reply, std::string* url, int* result = nullptr) {
        http.replies.push_back(reply);
        Updater updater(host, host, http, settings);
        CaptureStdout();
        const int r = updater.CheckForUpdate(url);
        if (result) *result = r;
        return GetCapturedStdout();
    }
    std::string CheckBody(int status, const std::string& body, std::string* url) {
        return Check(ScriptedReply::Body(status, body), url);
    }

    UpdateSettings settings;
    RecordingUpdateHost host;
    FakeHttpClient http;
};

TEST_F(UpdateCheckTest, PostsTheFormInOrderUnencodedWithItsHeaderAndTimeOuts) {
    host.computerName = "OFFICE PC&1=\xC3\xA9";  // blank, ampersand, equals, UTF-8 bytes
    host.officeErrors = "2-0x80040154";
    std::string url;
    CheckBody(200, R"({"status":"none","message":""})", &url);
    ASSERT_EQ(http.requests.size(), 1u);
    const HttpRequest& request = http.requests[0];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, kService);
    EXPECT_EQ(request.body,
              "package=windows.slidora&version=1.52&uid=00-1A-2B-3C-4D-5E"
              "&mid=OFFICE PC&1=\xC3\xA9&rom=ms&net=2-0x80040154");
    EXPECT_EQ(request.headers,
              std::vector<std::string>{"Content-Type: application/x-www-form-urlencoded"});
    EXPECT_EQ(request.connectTimeoutMs, 5000);
    EXPECT_EQ(request.connectAttempts, 1);
    EXPECT_EQ(request.receiveTimeoutMs, 5000);
    EXPECT_EQ(request.maxRedirects, 0);
}

TEST_F(UpdateCheckTest, FormHelpers) {
    EXPECT_EQ(BuildUpdateForm({"1.52", "00-1A-2B-3C-4D-5E", "OFFICE-PC", "ms", ""}),
              "package=windows.slidora&version=1.52&uid=00-1A-2B-3C-4D-5E&mid=OFFICE-PC&rom=ms"
              "&net=");
    const std::uint16_t version[4] = {1, 0, 7, 300};
    EXPECT_EQ(FormatUpdateVersion(version), "7.300");
}

TEST_F(UpdateCheckTest, NoVersionMeansNoRequest) {
    host.versionReadable = false;
    std::string url = "left over";
    int result = 0;
    const std::string out = Check(ScriptedReply::Body(200, "{}"), &url, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(url, "");
    EXPECT_TRUE(http.requests.empty());
    EXPECT_THAT(out, HasSubstr("  Get File Version Error.\n "));
}

TEST_F(UpdateCheckTest, OkWithAnAddressIsAnUpdate) {
    std::string url;
    int result = -1;
    const std::string out = Check(
        ScriptedReply::Body(200, R"({"message":"https:\/\/updates.example\/files\/Setup.exe",)"
                                 R"("other":[1,2],"status":"ok"})"),
        &url, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(url, kInstaller);
    EXPECT_EQ(out, "Code=200\n");
}

TEST_F(UpdateCheckTest, StatusMustBeExactlyLowerCaseOk) {
    for (const char* status : {"OK", "Ok", "ok ", " ok", "okay", ""}) {
        std::string url;
        int result = 0;
        const std::string body =
            std::string(R"({"status":")") + status + R"(","message":")" + kInstaller + "\"}";
        const std::string out = Check(ScriptedReply::Body(200, body), &url, &result);
        EXPECT_EQ(url, "") << status;
        EXPECT_EQ(result, -1) << status;
        EXPECT_EQ(out, "Code=200\n") << status;  // no update is not an error
    }
}

TEST_F(UpdateCheckTest, EmptyMessageIsNoAddress) {
    std::string url = "x";
    int result = -1;
    Check(ScriptedReply::Body(200, R"({"status":"ok","message":""})"), &url, &result);
    EXPECT_EQ(url, "");
    EXPECT_EQ(result, 0);  // the service said ok; the caller only looks at the address
}

TEST_F(UpdateCheckTest, FirstOfTwoEqualKeysCounts) {
    std::string url;
    CheckBody(200,
              std::string(R"({"status":"ok","message":")") + kInstaller +
                  R"(","message":"https://elsewhere/x","status":"no"})",
              &url);
    EXPECT_EQ(url, kInstaller);
}

TEST_F(UpdateCheckTest, RedirectAndOtherCodesUpTo399AreRead) {
    for (int status : {200, 201, 204, 302, 304, 399}) {
        std::string url;
        ScriptedReply reply = ScriptedReply::Body(
            status, std::string(R"({"status":"ok","message":")") + kInstaller + "\"}");
        reply.head.location = "https://elsewhere.example/downloadapp.php";
        const std::string out = Check(reply, &url);
        EXPECT_EQ(url, kInstaller) << status;
        EXPECT_EQ(out, "Code=" + std::to_string(status) + "\n");
    }
    // The redirect was not followed: one request per check.
    EXPECT_EQ(http.requests.size(), 6u);
}

TEST_F(UpdateCheckTest, CodesOutside200To399DiscardTheBody) {
    for (int status : {100, 199, 400, 404, 500}) {
        std::string url;
        const std::string out = CheckBody(
            status, std::string(R"({"status":"ok","message":")") + kInstaller + "\"}", &url);
        EXPECT_EQ(url, "") << status;
        EXPECT_EQ(out, "Code=" + std::to_string(status) +
                           "\nReturnj Code=" + std::to_string(status) + "\n[] json error\n");
    }
}

TEST_F(UpdateCheckTest, NoStatusCodeCountsAs404) {
    std::string url;
    ScriptedReply reply = ScriptedReply::Body(0, R"({"status":"ok","message":"https://x/y"})");
    const std::string out = Check(reply, &url);
    EXPECT_EQ(url, "");
    EXPECT_EQ(out, "Code=404\nReturnj Code=404\n[] json error\n");
}

TEST_F(UpdateCheckTest, RepliesThatAreNotAnObjectWithStatusAndMessage) {
    const char* bodies[] = {
        "",
        "not json",
        R"({"status":"ok","message":"https://x/y")",  // cut short
        R"(["ok"])",
        R"({"status":"ok"})",
        R"({"message":"https://x/y"})",
        R"({"Status":"ok","Message":"https://x/y"})",
        R"({"status":"ok","message":"https://x/y"} trailing)",
    };
    for (const char* body : bodies) {
        std::string url = "x";
        int result = 0;
        const std::string out = Check(ScriptedReply::Body(200, body), &url, &result);
        EXPECT_EQ(url, "") << body;
        EXPECT_EQ(result, -1) << body;
        EXPECT_EQ(out, std::string("Code=200\n[") + body + "] json error\n");
    }
}

TEST_F(UpdateCheckTest, ValuesWithoutTextAreNoUpdateAndNoError) {
    for (const char* value : {R"({"a":"ok"})", R"(["ok"])", "true", "false", "null"}) {
        std::string url = "x";
        int result = 0;
        std::string out = Check(ScriptedReply::Body(200, std::string(R"({"status":)") + value +
                                                             R"(,"message":"https://x/y"})"),
                                &url, &result);
        EXPECT_EQ(url, "") << "status " << value;
        EXPECT_EQ(result, -1) << "status " << value;
        EXPECT_EQ(out, "Code=200\n") << "status " << value;

        url = "x";
        out = Check(
            ScriptedReply::Body(200, std::string(R"({"status":"ok","message":)") + value + "}"),
            &url, &result);
        EXPECT_EQ(url, "") << "message " << value;
        EXPECT_EQ(out, "Code=200\n") << "message " << value;
    }
}

TEST_F(UpdateCheckTest, LineFeedsAreDroppedAndCarriageReturnsKept) {
    // The body is read line by line and joined; "\r" stays and is a JSON blank.
    std::string url;
    CheckBody(200, "{\"status\":\"ok\",\r\n\"message\":\n\"https://x/y\"}\r\n", &url);
    EXPECT_EQ(url, "https://x/y");
    // The line shows the kept CR (like any control byte from the service) escaped.
    const std::string out = CheckBody(200, "{\"status\":\n\"ok\"\r\n", &url);
    EXPECT_EQ(out, "Code=200\n[{\"status\":\"ok\"\\x0d] json error\n");
}

TEST_F(UpdateCheckTest, NetworkFailurePrintsTheErrorCutAt255) {
    std::string url = "x";
    int result = 0;
    std::string out = Check(ScriptedReply::Failure("Could not connect to server"), &url, &result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(url, "");
    EXPECT_EQ(out, "error .<Could not connect to server> \n");

    out = Check(ScriptedReply::Failure(std::string(300, 'e')), &url);
    EXPECT_EQ(out, "error .<" + std::string(255, 'e') + "> \n");
}

TEST_F(UpdateCheckTest, AFailureAfterTheHeadStillFails) {
    ScriptedReply reply = ScriptedReply::Body(200, R"({"status":"ok","message":"https://x/y"})");
    reply.result = HttpResult::kFailed;
    reply.error = "Operation too slow";
    std::string url;
    const std::string out = Check(reply, &url);
    EXPECT_EQ(url, "");
    EXPECT_EQ(out, "error .<Operation too slow> \n");
}

TEST_F(UpdateCheckTest, AnOverlongReplyIsGivenUp) {
    std::string url;
    const std::string out = CheckBody(200, std::string(70000, ' ') + "{}", &url);
    EXPECT_EQ(url, "");
    EXPECT_THAT(out, HasSubstr("error .<the reply is longer than 65536 bytes> \n"));
}

TEST_F(UpdateCheckTest, PlainHttpServiceIsRefusedWithoutAnyRequest) {
    settings.serviceUrl = "http://updates.example/downloadapp.php";
    std::string url;
    int result = 0;
    const std::string out = Check(ScriptedReply::Body(200, "{}"), &url, &result);
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(http.requests.empty());
    EXPECT_THAT(out, HasSubstr("Update check refused: the service address "
                               "http://updates.example/downloadapp.php is not https.\n"));
}

TEST(UpdateReplyTest, ReadsOnlyStatusAndMessage) {
    std::string url;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReadUpdateReply(R"({"status":"ok","message":"https:\/\/a\/b\u0041"})", &url), 0);
    EXPECT_EQ(url, "https://a/bA");
    EXPECT_EQ(ReadUpdateReply(R"({"status":"ok","message":12})", &url), 0);
    EXPECT_EQ(url, "12");  // a number's text is taken as it stands (and refused as an address)
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
