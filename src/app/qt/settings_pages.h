// The three pages of the desktop face's main window: connection (service, name, password,
// address), settings (pointer sensitivity, autostart) and about. They show the application's
// state and hand every change to it, as the Windows pages do. User-interface thread.
#pragma once

#include <QTimer>
#include <QWidget>

#include "app/qt/face_texts.h"
#include "netinfo/local_addresses.h"
#include "shell/sensitivity_controls.h"

class CorvaneApplication;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;
class SkinButton;

class BasicPage : public QWidget {
public:
    static constexpr int kAddressMilliseconds = 5000;

    BasicPage(CorvaneApplication& app, FaceLanguage language, QWidget* parent);

    // Rebuilds the address list and shows one address, "Multiple IP Address" or "No Local IP";
    // the details button is hidden when there is none.
    void RefreshAddresses();
    const LocalAddressList& addresses() const { return addresses_; }

private:
    void ShowServiceState();
    void ApplyPasswordMask(bool hidden);
    void ShowDetails();

    CorvaneApplication& app_;
    FaceLanguage language_;
    LocalAddressList addresses_;
    SkinButton* service_;
    QLineEdit* name_;
    QLineEdit* password_;
    QCheckBox* encrypt_;
    QLabel* address_;
    SkinButton* details_;
    QTimer timer_;
};

class AdvancedPage : public QWidget {
public:
    AdvancedPage(CorvaneApplication& app, FaceLanguage language, QWidget* parent);

private:
    // Sliders and number labels from the sensitivity controls.
    void ShowSensitivity();
    void SliderLetGo(SensitivityControls::Axis axis);

    CorvaneApplication& app_;
    SensitivityControls sensitivity_;
    QSlider* horizontal_;
    QSlider* vertical_;
    QLabel* horizontalValue_;
    QLabel* verticalValue_;
    QCheckBox* lock_;
    QCheckBox* autoStart_;
};

class AboutPage : public QWidget {
public:
    AboutPage(FaceLanguage language, QWidget* parent);
};
