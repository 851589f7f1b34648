// The desktop face inside the test program: the real main window, pages and tray icon over a
// real application (service on 127.0.0.1, ports of the system's choosing, a settings file of
// the test's own), on a private X server with a private session bus and, when asked, a tray
// host. One toolkit application per test process; each case makes its own face.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/qt/desktop_program.h"
#include "app/qt/desktop_window.h"
#include "app/qt/face_texts.h"
#include "desktop_session.h"
#include "service/control_server.h"
#include "shell/application.h"

class DesktopFaceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the application and its face, with a tray host running or not.
    void Open(FaceLanguage language = FaceLanguage::kEnglish, bool withTray = true);
    // Ends the face and then the application, as the program does.
    void Close();

    // Handles the toolkit's events until `done` holds or `timeoutMs` passed.
    static bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
    // Right-clicks the docked icon until its menu is up, as a user clicks again when nothing
    // happened: a click that comes while the tray host is still taking the icon in is lost.
    static bool OpenTrayMenu(unsigned long icon, const QMenu& menu);
    // The menu is on screen and the toolkit has handled its coming up (keys sent before then
    // may be handled out of turn).
    static bool MenuReady(const QMenu& menu);
    // Handles events for a while (for screenshots: until windows have painted).
    static void Pump(int milliseconds);

    DesktopWindow& Window() { return desktop_->window(); }
    // A control of the main window (pages included) by its object name; fails the test when
    // there is none.
    template <typename T>
    T* Control(const char* name) {
        T* found = Window().findChild<T*>(name);
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }
    std::uint16_t Port() const { return static_cast<std::uint16_t>(app_->tcpPort.load()); }
    std::string Setting(const char* key) const;
    // Where the autostart entry goes in this test's session.
    std::string AutoStartEntry() const;
    // Saves a picture of the screen area `area` (screen pixels) as <build>/screenshots/qt/
    // <name>.png; false when nothing was saved.
    static bool Screenshot(const QRect& area, const std::string& name);

    static PrivateDesktop& Session();
    static XDriver& X();

    std::unique_ptr<CorvaneApplication> app_;
    std::unique_ptr<QtDesktop> desktop_;
    ServerOptions options_;
    int udpPort_ = 0;
    std::string settingsPath_;
};
