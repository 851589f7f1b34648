#include "program_copy_test.h"

#include <filesystem>

#include "desktop.h"
#include "file_text.h"
#include "phone_client.h"
#include "platform/socket.h"

void ProgramCopyTest::SetUp() {
    ASSERT_EQ(SocketLibraryStartup(), 0);
    if (PhoneClient(kPort).Connected()) {
        GTEST_SKIP() << "another program already listens on 127.0.0.1:" << kPort;
    }
    ASSERT_EQ(FindWindowA(nullptr, "CorvaneServer"), nullptr) << "a copy is running";
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "corvane-" + tag_ + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    exe_ = folder_ + "\\CorvaneServer.exe";
    ASSERT_TRUE(CopyFileA(WindowsPathFor(programPath_).c_str(), exe_.c_str(), FALSE));
    ini_ = folder_ + "\\CorvaneServer.ini";
    output_ = folder_ + "\\output.txt";
}

void ProgramCopyTest::TearDown() {
    if (program_ && window_) ShutDown();
    program_.reset();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "software\\microsoft\\windows\\currentversion\\Run",
                       "VolaServer");
}

void ProgramCopyTest::StartProgram() {
    program_ = std::make_unique<ChildProcess>(exe_, "", output_);
    ASSERT_TRUE(program_->Started());
    const DWORD id = program_->Id();
    ASSERT_TRUE(PumpUntil(
        [&] {
            HWND window = FindWindowA(nullptr, "CorvaneServer");
            DWORD owner = 0;
            if (window) GetWindowThreadProcessId(window, &owner);
            if (owner == id) window_ = window;
            return window_ != nullptr;
        },
        60000))
        << "no main window\n"
        << ReadFileText(output_);
    ASSERT_TRUE(PumpUntil([] { return PhoneClient(kPort).Connected(); }, 30000))
        << "no service on port " << kPort << "\n"
        << ReadFileText(output_);
}

void ProgramCopyTest::ShutDown() {
    PostMessageA(window_, WM_COMMAND, kShutdownCommand, 0);
    EXPECT_EQ(program_->WaitExit(30000), 0u) << "no orderly end\n" << ReadFileText(output_);
    window_ = nullptr;
}

std::string ProgramCopyTest::Setting(const char* key) const {
    char value[1024] = "";
    GetPrivateProfileStringA("CorvaneServer", key, "", value, sizeof value, ini_.c_str());
    return value;
}
