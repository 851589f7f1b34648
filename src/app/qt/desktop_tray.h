// The desktop face's tray icon and its menu: "Config" (the default, checked while the window is
// on screen), "About", and "Shutdown", which ends the program. A click or a double click on the
// icon shows the window. User-interface thread.
#pragma once

#include <QMenu>
#include <QSystemTrayIcon>

#include "app/qt/face_texts.h"

class DesktopWindow;

class DesktopTray {
public:
    DesktopTray(DesktopWindow& window, FaceLanguage language);

    QSystemTrayIcon& icon() { return icon_; }
    QMenu& menu() { return menu_; }

private:
    DesktopWindow& window_;
    QMenu menu_;
    QSystemTrayIcon icon_;
};
