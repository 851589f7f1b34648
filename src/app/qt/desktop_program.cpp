#include "app/qt/desktop_program.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <clocale>
#include <cstdlib>

#include "app/qt/desktop_tray.h"
#include "app/qt/desktop_window.h"
#include "app/qt/face_style.h"
#include "platform/single_instance.h"
#include "support/trace.h"

QtDesktop::QtDesktop(CorvaneApplication& app, FaceLanguage language) {
    // The tray kind (StatusNotifier over D-Bus, or the older embedding) is settled now, once.
    const bool hasTray = QSystemTrayIcon::isSystemTrayAvailable();
    window_ = std::make_unique<DesktopWindow>(app, language, hasTray);
    if (hasTray) {
        tray_ = std::make_unique<DesktopTray>(*window_, language);
    } else {
        // Nowhere to wait hidden: the window is the program's face from the start.
        window_->ShowMainWindow();
    }
}

QtDesktop::~QtDesktop() {
    // The tray goes first: its menu acts on the window.
    tray_.reset();
    window_.reset();
}

int RunQtDesktop(DesktopSession& session) {
    // The face lives where the pointer and the keys go: the X display. (A platform the toolkit
    // cannot open would end the process; the program has made sure this one opens.)
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The toolkit's own command-line options are not the program's.
    static int argc = 1;
    static char name[] = "CorvaneServer";
    static char* argv[] = {name, nullptr};
    QApplication qt(argc, argv);
    // The toolkit has set the process's locale from the environment; numbers stay in the C
    // notation for the rest of the program (update replies, log lines).
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    // One style everywhere, so that the fixed layout of the pages fits on every desktop.
    QApplication::setStyle("Fusion");
    QApplication::setFont(DialogFont());

    // SIGINT and SIGTERM end the loop like "Shutdown".
    const int stopFd = signalfd(-1, &session.stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (stopFd >= 0) {
        stopNotifier = std::make_unique<QSocketNotifier>(stopFd, QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &qt, [stopFd] {
            signalfd_siginfo info;
            if (read(stopFd, &info, sizeof info) == sizeof info) QApplication::exit(0);
        });
    } else {
        TracePrintf("Ctrl+C cannot reach the desktop face; use the tray menu's Shutdown.\n");
    }
    QTimer housekeeping;
    housekeeping.setInterval(5000);
    QObject::connect(&housekeeping, &QTimer::timeout, &qt, [&session] {
        if (session.everyFiveSeconds) session.everyFiveSeconds();
    });
    housekeeping.start();

    int status = 0;
    {
        QtDesktop desktop(session.application, LanguageFromEnvironment());
        // A later start of the program brings this copy's window forward.
        std::unique_ptr<QSocketNotifier> callNotifier;
        const int callFd = session.instanceLock.TakeCallsFromLaterCopies();
        if (callFd >= 0) {
            callNotifier = std::make_unique<QSocketNotifier>(callFd, QSocketNotifier::Read);
            QObject::connect(callNotifier.get(), &QSocketNotifier::activated, &qt, [&] {
                if (session.instanceLock.AnswerCall()) desktop.window().ShowMainWindow();
            });
        }
        TracePrintf(desktop.tray() != nullptr
                        ? "Desktop: tray icon shown; double-click it for the settings window.\n"
                        : "Desktop: no tray here; the settings window stays on screen.\n");
        status = QApplication::exec();
    }
    stopNotifier.reset();
    if (stopFd >= 0) close(stopFd);
    return status;
}
