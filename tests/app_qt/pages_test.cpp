// The three pages of the desktop face: the service button, the password mask, the sliders and
// Lock, the address line and the details dialog, the about page; and what is stored shows again
// at the next start. (Typing the password and the name and clicking the autostart box are
// checked on the real program, in program/program_desktop_test.cpp.)
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QtTest/QTest>
#include <filesystem>

#include "app/qt/more_addresses_dialog.h"
#include "app/qt/skin_button.h"
#include "face_fixture.h"
#include "phone_client.h"
#include "shell/settings_store.h"

namespace {

std::string TextOf(const QLabel* label) { return label->text().toStdString(); }
std::string TextOf(const QAbstractButton* button) { return button->text().toStdString(); }

}  // namespace

TEST_F(DesktopFaceTest, ServiceButtonStopsAndStartsTheService) {
    Open();
    auto* service = Control<SkinButton>("service");
    EXPECT_TRUE(service->isChecked());
    EXPECT_EQ(TextOf(service), "Connected");
    const std::uint16_t first = Port();
    PhoneClient connected(first);
    ASSERT_EQ(connected.Login("id-a", "735"), "Login:OK\n");

    QTest::mouseClick(service, Qt::LeftButton);
    EXPECT_FALSE(app_->ServiceRunning());
    EXPECT_FALSE(service->isChecked());
    EXPECT_EQ(TextOf(service), "Disconnected");
    EXPECT_TRUE(connected.WaitClosed(3000)) << "a connected phone stays after the stop";
    EXPECT_FALSE(PhoneClient(first).Connected()) << "the stopped service still accepts";

    QTest::mouseClick(service, Qt::LeftButton);
    EXPECT_TRUE(app_->ServiceRunning());
    EXPECT_EQ(TextOf(service), "Connected");
    EXPECT_EQ(PhoneClient(Port()).Login("id-b", "735"), "Login:OK\n");
}

TEST_F(DesktopFaceTest, EncryptBoxMasksThePasswordAndIsRemembered) {
    Open();
    auto* password = Control<QLineEdit>("password");
    auto* encrypt = Control<QCheckBox>("encrypt");
    // Nothing stored: the password shows in clear.
    EXPECT_FALSE(encrypt->isChecked());
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
    QTest::mouseClick(encrypt, Qt::LeftButton);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Setting(kHidePasswdKey), "yes");

    Close();
    Open();
    EXPECT_TRUE(Control<QCheckBox>("encrypt")->isChecked());
    EXPECT_EQ(Control<QLineEdit>("password")->echoMode(), QLineEdit::Password);
    QTest::mouseClick(Control<QCheckBox>("encrypt"), Qt::LeftButton);
    EXPECT_EQ(Control<QLineEdit>("password")->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(Setting(kHidePasswdKey), "no");
}

TEST_F(DesktopFaceTest, StoredSettingsShowAtStart) {
    WriteSetting(kPcNameKey, "Aula");
    WriteSetting(kPasswdKey, "4711");
    WriteSetting(kHidePasswdKey, "yes");
    WriteSetting(kVertKey, "20");
    WriteSetting(kHorzKey, "250");
    WriteSetting(kAutoStartKey, "no");
    Open();
    EXPECT_EQ(Control<QLineEdit>("computerName")->text().toStdString(), "Aula");
    EXPECT_EQ(Control<QLineEdit>("password")->text().toStdString(), "4711");
    EXPECT_EQ(Control<QLineEdit>("password")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Control<QSlider>("horizontal")->value(), 20);
    EXPECT_EQ(Control<QSlider>("vertical")->value(), 100);
    EXPECT_EQ(Control<QLabel>("horizontalValue")->text(), "");
    EXPECT_FALSE(Control<QCheckBox>("autoStart")->isChecked());
    EXPECT_FALSE(std::filesystem::exists(AutoStartEntry()));
}

TEST_F(DesktopFaceTest, SlidersSetTheFactorsAndLockKeepsThemTogether) {
    Open();
    auto* horizontal = Control<QSlider>("horizontal");
    auto* vertical = Control<QSlider>("vertical");
    auto* horizontalValue = Control<QLabel>("horizontalValue");
    auto* verticalValue = Control<QLabel>("verticalValue");
    auto* lock = Control<QCheckBox>("lock");
    EXPECT_EQ(TextOf(horizontalValue), "");
    EXPECT_EQ(TextOf(verticalValue), "");

    // Held, the slider changes nothing yet; let go, the factor follows.
    horizontal->setSliderDown(true);
    horizontal->setValue(80);
    EXPECT_EQ(app_->HorizontalFactor, 50);
    horizontal->setSliderDown(false);
    EXPECT_EQ(app_->HorizontalFactor, 80);
    EXPECT_EQ(app_->VerticalFactor, 50);
    EXPECT_EQ(TextOf(horizontalValue), "80");
    EXPECT_EQ(TextOf(verticalValue), "");
    // Keys move it without holding it.
    vertical->setFocus();
    QTest::keyClick(vertical, Qt::Key_Right);
    EXPECT_EQ(app_->VerticalFactor, 51);
    EXPECT_EQ(TextOf(verticalValue), "51");

    // Lock brings the vertical factor to the horizontal one; then either slider moves both.
    QTest::mouseClick(lock, Qt::LeftButton);
    EXPECT_EQ(app_->VerticalFactor, 80);
    EXPECT_EQ(vertical->value(), 80);
    EXPECT_EQ(TextOf(verticalValue), "80");
    vertical->setValue(30);
    EXPECT_EQ(app_->HorizontalFactor, 30);
    EXPECT_EQ(app_->VerticalFactor, 30);
    EXPECT_EQ(horizontal->value(), 30);
    EXPECT_EQ(TextOf(horizontalValue), "30");
    EXPECT_EQ(TextOf(verticalValue), "30");

    QTest::mouseClick(lock, Qt::LeftButton);
    horizontal->setValue(60);
    EXPECT_EQ(app_->HorizontalFactor, 60);
    EXPECT_EQ(app_->VerticalFactor, 30);

    // The factors reach the file at the orderly end.
    Close();
    EXPECT_EQ(Setting(kVertKey), "60");
    EXPECT_EQ(Setting(kHorzKey), "30");
}

TEST_F(DesktopFaceTest, AddressLineAndDetailsDialog) {
    Open();
    Window().ShowMainWindow();
    LocalAddressList now;
    EnumerateLocalAddresses(&now);
    const AddressSummary summary = SummarizeAddresses(now);
    EXPECT_EQ(TextOf(Control<QLabel>("address")), summary.text);
    EXPECT_EQ(Control<SkinButton>("details")->isVisible(), summary.detailsVisible);
    EXPECT_EQ(TextOf(Control<QLabel>("firewallNote")),
              "If the firewall is on, please close it temporarily!");

    // The dialog lists the entries last first, with the wireless network and the adapter.
    LocalAddressList list = {{"192.168.1.20", "Wired", ""},
                             {"10.0.0.7", "Wireless", "Hall"},
                             {"0.0.0.0", "Other wireless", ""}};
    MoreAddressesDialog dialog(list, FaceLanguage::kEnglish, &Window());
    QTableWidget* table = dialog.table();
    ASSERT_EQ(table->rowCount(), 3);
    ASSERT_EQ(table->columnCount(), 3);
    const char* headers[3] = {"IP", "Wireless Network", "NetCard Name"};
    const int widths[3] = {140, 140, 240};
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(table->horizontalHeaderItem(column)->text().toStdString(), headers[column]);
        EXPECT_EQ(table->columnWidth(column), widths[column]);
    }
    const char* rows[3][3] = {{"0.0.0.0", "", "Other wireless"},
                              {"10.0.0.7", "Hall", "Wireless"},
                              {"192.168.1.20", "", "Wired"}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(table->item(row, column)->text().toStdString(), rows[row][column])
                << row << "," << column;
        }
    }

    // Opened from the page, it closes with its own button.
    if (summary.detailsVisible) {
        bool shown = false;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            auto* open = dynamic_cast<MoreAddressesDialog*>(QApplication::activeModalWidget());
            if (open == nullptr || !open->isVisible()) return;
            shown = open->table()->rowCount() >= static_cast<int>(now.size());
            QTest::mouseClick(open->findChild<SkinButton*>("close"), Qt::LeftButton);
            closer.stop();
        });
        closer.start(20);
        QTest::mouseClick(Control<SkinButton>("details"), Qt::LeftButton);
        EXPECT_TRUE(shown);
    }
}

TEST_F(DesktopFaceTest, AboutPageAndLinkInBothLanguages) {
    Open(FaceLanguage::kEnglish);
    EXPECT_EQ(Control<QTextEdit>("aboutText")->toPlainText().toStdString(),
              TextsFor(FaceLanguage::kEnglish).aboutText);
    EXPECT_TRUE(Control<QTextEdit>("aboutText")->isReadOnly());
    EXPECT_EQ(TextOf(Control<QLabel>("version")), "Version:  1.52");
    auto* link = Control<SkinButton>("link");
    EXPECT_EQ(TextOf(link), "https://example.com/");
    EXPECT_EQ(link->webAddress().toStdString(), "https://example.com/");
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    Close();

    Open(FaceLanguage::kChinese);
    EXPECT_EQ(TextOf(Control<QLabel>("version")), "当前版本:  1.52");
    EXPECT_EQ(TextOf(Control<SkinButton>("service")), "网络连接 开启状态");
    EXPECT_EQ(TextOf(Control<QLabel>("nameLabel")), "本机名字");
}
