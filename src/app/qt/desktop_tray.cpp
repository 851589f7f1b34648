#include "app/qt/desktop_tray.h"

#include <QApplication>

#include "app/qt/desktop_window.h"

DesktopTray::DesktopTray(DesktopWindow& window, FaceLanguage language) : window_(window) {
    const FaceTexts& texts = TextsFor(language);
    menu_.setObjectName("trayMenu");
    QAction* config = menu_.addAction(QString::fromStdString(texts.config));
    config->setObjectName("config");
    config->setCheckable(true);
    menu_.setDefaultAction(config);
    QAction* about = menu_.addAction(QString::fromStdString(texts.about));
    about->setObjectName("about");
    menu_.addSeparator();
    QAction* shutdown = menu_.addAction(QString::fromStdString(texts.shutdown));
    shutdown->setObjectName("shutdown");

    QObject::connect(&menu_, &QMenu::aboutToShow, &menu_,
                     [this, config] { config->setChecked(window_.isVisible()); });
    QObject::connect(config, &QAction::triggered, &menu_, [this] { window_.ShowMainWindow(); });
    QObject::connect(about, &QAction::triggered, &menu_, [this] {
        window_.ShowMainWindow();
        window_.SelectPage(DesktopWindow::Page::kAbout);
    });
    QObject::connect(shutdown, &QAction::triggered, &menu_, [] { QApplication::exit(0); });

    icon_.setIcon(QIcon(":/artwork/app.ico"));
    icon_.setToolTip(QString::fromStdString(texts.trayTip));
    icon_.setContextMenu(&menu_);
    // Tray hosts of the StatusNotifier kind report a double click as two single ones, and the
    // older ones send a single click before the double: both only ever show the window, so no
    // sequence of clicks hides it again behind the user's back.
    QObject::connect(
        &icon_, &QSystemTrayIcon::activated, &menu_,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                window_.ShowMainWindow();
            }
        });
    icon_.show();
}
