#include "face_fixture.h"

#include <unistd.h>

#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWindow>
#include <cstdio>
#include <filesystem>

#include "app/qt/face_style.h"
#include "fakes/recording_input.h"
#include "phone_client.h"
#include "platform/automation_host.h"
#include "platform/socket.h"
#include "shell/settings_store.h"

namespace {

std::unique_ptr<PrivateDesktop> g_session;
std::unique_ptr<XDriver> g_x;
std::unique_ptr<QApplication> g_qt;

// The toolkit ends before the X server it talks to.
class DesktopEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        g_qt.reset();
        g_x.reset();
        g_session.reset();
    }
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

int FreeUdpPort() {
    SocketHandle s = OpenUdpSocket4();
    BindSocket(s, Loopback(), 0);
    const int port = LocalPort(s);
    CloseSocket(s);
    return port;
}

void RecordNotice(const char* text) { std::printf("autostart notice: %s\n", text); }

}  // namespace

PrivateDesktop& DesktopFaceTest::Session() { return *g_session; }
XDriver& DesktopFaceTest::X() { return *g_x; }

void DesktopFaceTest::SetUp() {
    if (!g_qt) {
        g_session = std::make_unique<PrivateDesktop>();
        ASSERT_TRUE(g_session->Start()) << "no private X server or session bus (Xvfb, dbus-daemon)";
        g_session->Enter();
        g_x = std::make_unique<XDriver>(g_session->display());
        ASSERT_TRUE(g_x->ok());
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "CorvaneServer";  // as the program names itself
        static char* argv[] = {name, nullptr};
        g_qt = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setStyle("Fusion");
        QApplication::setFont(DialogFont());
        SocketLibraryStartup();
    }
    settingsPath_ = Session().folder() + "/CorvaneServer.ini";
    std::remove(settingsPath_.c_str());
    SetSettingsPathForTesting(settingsPath_);
    SetSettingsNoticeForTesting(RecordNotice);
    // No multicast sockets on the machine's real interfaces.
    options_.readAdapters = [](std::vector<AdapterInfo>* adapters) {
        adapters->clear();
        return AdapterTableResult::kOk;
    };
    udpPort_ = FreeUdpPort();
    // Away from the windows, where it would light up buttons.
    X().MoveTo(1000, 700);
}

void DesktopFaceTest::TearDown() {
    Close();
    SetSettingsPathForTesting(std::string());
    SetSettingsNoticeForTesting(nullptr);
    std::remove(settingsPath_.c_str());
}

void DesktopFaceTest::Open(FaceLanguage language, bool withTray) {
    if (withTray) {
        ASSERT_TRUE(Session().StartTrayHost()) << "trayer did not take the tray";
    } else {
        Session().StopTrayHost();
        // The toolkit notices the tray's end by an event of the X server.
        ASSERT_TRUE(WaitUntil([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }))
            << "the toolkit still sees a tray";
    }
    ServiceEndpoints endpoints;
    endpoints.tcpPort = 0;
    endpoints.udpPort = udpPort_;
    endpoints.bindAddress = "127.0.0.1";
    endpoints.options = &options_;
    app_ = std::make_unique<CorvaneApplication>(std::make_unique<RecordingInput>(),
                                                CreateSystemAutomationHost(), endpoints);
    app_->Initialize();
    desktop_ = std::make_unique<QtDesktop>(*app_, language);
    Pump(50);
}

void DesktopFaceTest::Close() {
    desktop_.reset();
    if (app_) app_->Shutdown();
    app_.reset();
    Pump(20);
}

bool DesktopFaceTest::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    return WaitFor(done, timeoutMs, [] { QApplication::processEvents(QEventLoop::AllEvents, 20); });
}

bool DesktopFaceTest::MenuReady(const QMenu& menu) {
    return menu.isVisible() && menu.windowHandle() != nullptr && menu.windowHandle()->isExposed();
}

bool DesktopFaceTest::OpenTrayMenu(unsigned long icon, const QMenu& menu) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (menu.isVisible()) return true;
        if (!X().ClickWindow(icon, 3)) return false;
        if (WaitUntil([&] { return MenuReady(menu); }, 3000)) return true;
    }
    return false;
}

void DesktopFaceTest::Pump(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        usleep(5000);
    }
}

std::string DesktopFaceTest::Setting(const char* key) const { return ReadSetting(key); }

std::string DesktopFaceTest::AutoStartEntry() const {
    return Session().folder() + "/config/autostart/VolaServer.desktop";
}

bool DesktopFaceTest::Screenshot(const QRect& area, const std::string& name) {
    Pump(300);  // every window has painted
    const std::string folder = CORVANE_BINARY_DIR "/screenshots/qt";
    std::filesystem::create_directories(folder);
    QScreen* screen = QApplication::primaryScreen();
    QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const std::string path = folder + "/" + name + ".png";
    return !picture.isNull() && picture.save(QString::fromStdString(path), "PNG");
}
