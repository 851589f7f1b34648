// The desktop face's one top-level window: borderless on the skin colour, with the logo, the
// three page buttons, the pages, two hide buttons and the maker's link, as the Windows program's
// main window. Reached from the tray icon; where there is no tray it is shown at start and
// closing it asks whether to quit. User-interface thread.
#pragma once

#include <QPoint>
#include <QWidget>

#include "app/qt/face_texts.h"
#include "app/qt/window_shape.h"

class AboutPage;
class AdvancedPage;
class BasicPage;
class CorvaneApplication;
class SkinButton;

class DesktopWindow : public QWidget {
public:
    enum class Page { kBasic, kAdvanced, kAbout };

    // `hasTray`: whether a tray icon holds the program while the window is hidden.
    DesktopWindow(CorvaneApplication& app, FaceLanguage language, bool hasTray);

    // Shows the window in front (and records it for "ShowMain"); hiding records that too.
    void ShowMainWindow();
    void HideMainWindow();
    void SelectPage(Page page);
    Page SelectedPage() const { return selected_; }
    // What the close button does: hide where a tray is, else ask whether to quit and end the
    // application's event loop on Yes.
    void CloseRequested();

    BasicPage& basicPage() { return *basic_; }
    AdvancedPage& advancedPage() { return *advanced_; }
    AboutPage& aboutPage() { return *about_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Dragging anywhere on the background moves the captionless window.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool AskToQuit();

    CorvaneApplication& app_;
    FaceLanguage language_;
    bool hasTray_;
    BasicPage* basic_;
    AdvancedPage* advanced_;
    AboutPage* about_;
    SkinButton* pageButtons_[3];
    Page selected_ = Page::kBasic;
    WindowShape shape_;
    QPoint grip_{-1, -1};
    // Set while the user has agreed to quit, so that the close that follows is not asked again.
    bool quitting_ = false;
};
