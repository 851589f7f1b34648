// The connection page: service on/off, the computer name phones see, the login password and
// the local address.
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

#include "app/qt/face_style.h"
#include "app/qt/more_addresses_dialog.h"
#include "app/qt/settings_pages.h"
#include "app/qt/skin_button.h"
#include "shell/application.h"

BasicPage::BasicPage(CorvaneApplication& app, FaceLanguage language, QWidget* parent)
    : QWidget(parent), app_(app), language_(language) {
    const FaceTexts& texts = TextsFor(language);
    const BasicLayout& layout = BasicLayoutFor(language);
    SetUpPage(this, "basicPage", kBasicPageColor, layout.page);
    QFrame* group = AddGroupFrame(this, layout.group);

    service_ = new SkinButton(this);
    service_->setObjectName("service");
    service_->setCheckable(true);
    service_->SetPictures(Picture("service_on.ico"), Picture("service_off.ico"));
    Place(service_, layout.service, kPageUnits);
    connect(service_, &QAbstractButton::clicked, this, [this] {
        app_.ToggleService();
        ShowServiceState();
    });

    AddLabel(this, "title", texts.connectStatus, layout.title, Qt::AlignHCenter | Qt::AlignTop);
    AddLabel(this, "nameLabel", texts.computerName, layout.nameLabel);
    AddLabel(this, "passwordLabel", texts.password, layout.passwordLabel);
    AddLabel(this, "addressLabel", texts.ipAddress, layout.addressLabel);

    // The start-up sequence has read (or defaulted and stored) the name and the password.
    name_ = new QLineEdit(QString::fromStdString(app_.ComputerName()), this);
    name_->setObjectName("computerName");
    Place(name_, layout.name, kPageUnits);
    // Every edit is stored at once, and again when the field is left.
    auto storeName = [this] { app_.ChangeComputerName(name_->text().toStdString()); };
    connect(name_, &QLineEdit::textEdited, this, storeName);
    connect(name_, &QLineEdit::editingFinished, this, storeName);

    password_ = new QLineEdit(QString::fromStdString(app_.Password()), this);
    password_->setObjectName("password");
    // Masked with "*", as the Windows field is.
    password_->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
    Place(password_, layout.password, kPageUnits);
    auto storePassword = [this] { app_.ChangePassword(password_->text().toStdString()); };
    connect(password_, &QLineEdit::textEdited, this, storePassword);
    connect(password_, &QLineEdit::editingFinished, this, storePassword);

    encrypt_ = new QCheckBox(QString::fromStdString(texts.encrypt), this);
    encrypt_->setObjectName("encrypt");
    Place(encrypt_, layout.encrypt, kPageUnits);
    encrypt_->setChecked(app_.PasswordHidden());
    ApplyPasswordMask(encrypt_->isChecked());
    connect(encrypt_, &QCheckBox::clicked, this, [this](bool hidden) {
        ApplyPasswordMask(hidden);
        app_.ChangePasswordHidden(hidden);
    });

    address_ = AddLabel(this, "address", "", layout.address, Qt::AlignLeft | Qt::AlignVCenter);
    details_ = new SkinButton(this);
    details_->setObjectName("details");
    details_->setText(QString::fromStdString(texts.detail));
    details_->SetBackground(kSkinColor, kSkinColor);
    Place(details_, layout.details, kPageUnits);
    connect(details_, &QAbstractButton::clicked, this, [this] { ShowDetails(); });

    QLabel* note = AddLabel(this, "firewallNote", texts.firewallNote, layout.note);
    note->setFont(NoteFont());
    QPalette red = note->palette();
    red.setColor(QPalette::WindowText, kNoteColor);
    note->setPalette(red);

    ShowServiceState();
    RefreshAddresses();
    // The Encrypt box may reach to the group's frame.
    const int inside = group->geometry().right() - 3;
    for (QWidget* widget : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (widget != name_ && widget != password_)
            FitText(widget, widget == encrypt_ ? inside : 0);
    }

    // The address is kept current while the window is on screen.
    timer_.setInterval(kAddressMilliseconds);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (window()->isVisible()) RefreshAddresses();
    });
    timer_.start();
}

void BasicPage::ShowServiceState() {
    const FaceTexts& texts = TextsFor(language_);
    const bool running = app_.ServiceRunning();
    service_->setChecked(running);
    service_->setText(QString::fromStdString(running ? texts.connected : texts.disconnected));
}

void BasicPage::ApplyPasswordMask(bool hidden) {
    password_->setEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
}

void BasicPage::RefreshAddresses() {
    addresses_.clear();
    EnumerateLocalAddresses(&addresses_);
    const AddressSummary summary =
        SummarizeAddresses(addresses_, TextsFor(language_).multipleAddresses);
    address_->setText(QString::fromStdString(summary.text));
    details_->setVisible(summary.detailsVisible);
}

void BasicPage::ShowDetails() {
    RefreshAddresses();
    AddWirelessInfo(&addresses_);
    MoreAddressesDialog dialog(addresses_, language_, window());
    dialog.exec();
}
