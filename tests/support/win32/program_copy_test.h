// Tests of the real CorvaneServer.exe under Wine: each case copies the built program into a
// fresh folder of its own, starts it as a separate process and speaks to it on 127.0.0.1.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "child_process.h"

class ProgramCopyTest : public ::testing::Test {
protected:
    static constexpr std::uint16_t kPort = 33589;
    static constexpr int kShutdownCommand = 32773;  // the tray menu's "Shutdown"

    // `program`: the built CorvaneServer.exe (a Unix path); `tag` names the folder.
    ProgramCopyTest(std::string program, std::string tag)
        : programPath_(std::move(program)), tag_(std::move(tag)) {}

    // Skips when another program listens on the port; fails when a copy is already running.
    // Makes folder_ and copies the program to exe_.
    void SetUp() override;
    // Shuts a program still running down in order; removes the folder with all it holds and the
    // start-with-the-computer entry.
    void TearDown() override;

    // Starts the copy as program_ (its output appended to output_) and waits until its main
    // window (window_) is there and its port takes connections.
    void StartProgram();
    // The tray menu's "Shutdown"; expects program_ to end with exit code 0.
    void ShutDown();
    // A value of the copy's settings file ("" when not there).
    std::string Setting(const char* key) const;

    std::string folder_, exe_, ini_, output_;
    std::unique_ptr<ChildProcess> program_;
    HWND window_ = nullptr;

private:
    std::string programPath_, tag_;
};
