// The desktop face of the Linux program, built on Qt Widgets: tray icon, main window with the
// three pages, the details dialog. Main thread.
#pragma once

#include <memory>

#include "app/posix/desktop_face.h"
#include "app/qt/face_texts.h"

class CorvaneApplication;
class DesktopTray;
class DesktopWindow;

// The face's windows for a running application, inside an existing QApplication: the main
// window, hidden behind a tray icon where there is a tray, else shown at once.
class QtDesktop {
public:
    QtDesktop(CorvaneApplication& app, FaceLanguage language);
    ~QtDesktop();

    DesktopWindow& window() { return *window_; }
    // Null where there is no tray.
    DesktopTray* tray() { return tray_.get(); }

private:
    std::unique_ptr<DesktopWindow> window_;
    std::unique_ptr<DesktopTray> tray_;
};

// Runs the face until "Shutdown" (or quitting where there is no tray) or a stop signal; returns
// the program's exit code. See DesktopFace.
int RunQtDesktop(DesktopSession& session);
