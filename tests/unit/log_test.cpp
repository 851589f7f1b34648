#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "file_text.h"
#include "platform/process.h"
#include "support/log.h"

namespace {

std::string LogPath() { return LogFileNameFor(ExecutablePath()); }

#if defined(_WIN32)
const std::string kNewline = "\r\n";
#else
const std::string kNewline = "\n";
#endif

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LogInit(LogPath()), 0);
        std::remove(LogPath().c_str());
    }
    void TearDown() override { std::remove(LogPath().c_str()); }
};

}  // namespace

TEST(LogFileName, CutsAtTheLastDotOfTheFileNameOnly) {
    char out[512];
    LogFileNameFor("C:\\Program Files\\Corvane\\CorvaneServer.exe", out, sizeof out);
    EXPECT_STREQ(out, "C:\\Program Files\\Corvane\\CorvaneServer.log");
    LogFileNameFor("/home/ann/.local/bin/CorvaneServer", out, sizeof out);
    EXPECT_STREQ(out, "/home/ann/.local/bin/CorvaneServer.log");
    LogFileNameFor("/opt/a.b/server.tar.gz", out, sizeof out);
    EXPECT_STREQ(out, "/opt/a.b/server.tar.log");
    LogFileNameFor("noext", out, sizeof out);
    EXPECT_STREQ(out, "noext.log");
}

TEST_F(LogTest, LineHasTimestampPrefixAndGoesToFileAndStdout) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(LogPrintf("socket error %d\n ", 10048), 0);
    std::string out = testing::internal::GetCapturedStdout();
    std::regex line(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}  socket error 10048\n )");
    EXPECT_TRUE(std::regex_match(out, line)) << out;
    std::string file = ReadFileText(LogPath());
    EXPECT_EQ(file, out.substr(0, 21) + "socket error 10048" + kNewline + " ");
}

TEST_F(LogTest, MessageIsCutAt15360Characters) {
    std::string exact(15360, 'a');
    std::string over = std::string(15360, 'b') + "c";
    testing::internal::CaptureStdout();
    LogPrintf("%s", exact.c_str());
    LogPrintf("%s", over.c_str());
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(out.size(), 2 * (21 + 15360u));
    EXPECT_EQ(out.substr(21, 15360), exact);
    EXPECT_EQ(out.substr(21 + 15360 + 21), std::string(15360, 'b'));
}

TEST_F(LogTest, FileIsEmptiedOnlyOnceItHasGrownPastTenMebibytes) {
    {
        std::ofstream big(LogPath(), std::ios::binary);
        big << std::string(10485760, 'x');
    }
    testing::internal::CaptureStdout();
    LogPrintf("appended\n");
    std::string file = ReadFileText(LogPath());
    EXPECT_EQ(file.size(), 10485760u + 21 + 8 + kNewline.size());
    LogPrintf("fresh start\n");
    testing::internal::GetCapturedStdout();
    file = ReadFileText(LogPath());
    EXPECT_EQ(file.size(), 21 + 11 + kNewline.size());
    EXPECT_EQ(file.substr(21), "fresh start" + kNewline);
}

TEST_F(LogTest, DeletedFileIsRecreatedByTheNextLine) {
    testing::internal::CaptureStdout();
    LogPrintf("one\n");
    std::remove(LogPath().c_str());
    LogPrintf("two\n");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(ReadFileText(LogPath()).substr(21), "two" + kNewline);
}

TEST_F(LogTest, ConcurrentLinesStayWhole) {
    const int kPerThread = 400;
    std::string payload(300, 'p');
    testing::internal::CaptureStdout();
    auto writer = [&](char id) {
        for (int i = 0; i < kPerThread; ++i) LogPrintf("%c %04d %s\n", id, i, payload.c_str());
    };
    std::thread a(writer, 'A'), b(writer, 'B');
    a.join();
    b.join();
    std::string out = testing::internal::GetCapturedStdout();
    std::regex whole(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}  [AB] \d{4} p{300}\r?)");
    for (const std::string& text : {out, ReadFileText(LogPath())}) {
        std::istringstream lines(text);
        std::string line;
        int count[2] = {0, 0};
        while (std::getline(lines, line)) {
            ASSERT_TRUE(std::regex_match(line, whole)) << line.substr(0, 60);
            ++count[line[21] - 'A'];
        }
        EXPECT_EQ(count[0], kPerThread);
        EXPECT_EQ(count[1], kPerThread);
    }
}
