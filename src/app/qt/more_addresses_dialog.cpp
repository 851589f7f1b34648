#include "app/qt/more_addresses_dialog.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QTableWidget>
#include <QWindow>

#include "app/qt/face_style.h"
#include "app/qt/skin_button.h"

MoreAddressesDialog::MoreAddressesDialog(const LocalAddressList& addresses, FaceLanguage language,
                                         QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      shape_(kDetailsShapeDivisor, kOutlineColor) {
    const FaceTexts& texts = TextsFor(language);
    setObjectName("moreAddresses");
    setFont(DialogFont());
    setWindowTitle(QString::fromStdString(texts.title));
    SetBackground(this, kSkinColor);
    setFixedSize(ToQRect(ToPixels(kDetails.window, kPageUnits)).size());

    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName("addressList");
    Place(table_, kDetails.list, kPageUnits);
    table_->setHorizontalHeaderLabels({QString::fromStdString(texts.ipColumn),
                                       QString::fromStdString(texts.wirelessColumn),
                                       QString::fromStdString(texts.adapterColumn)});
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table_->horizontalHeader()->setSectionsClickable(false);
    table_->verticalHeader()->hide();
    table_->setShowGrid(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
    for (int column = 0; column < 3; ++column) {
        table_->setColumnWidth(column, kDetails.columnWidths[column]);
    }
    for (const LocalAddress& entry : AddressDetailRows(addresses)) {
        const int row = table_->rowCount();
        table_->insertRow(row);
        int column = 0;
        for (const std::string* text :
             {&entry.address, &entry.wirelessNetwork, &entry.adapterDescription}) {
            table_->setItem(row, column++, new QTableWidgetItem(QString::fromStdString(*text)));
        }
    }

    auto* close = new SkinButton(this);
    close->setObjectName("close");
    close->SetPicture(Picture("close.ico"));
    Place(close, kDetails.close, kPageUnits);
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
}

void MoreAddressesDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    shape_.Apply(this, painter);
}

void MoreAddressesDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
    // The window manager moves it where there is one; otherwise the dialog follows the mouse.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    grip_ = event->position().toPoint();
}

void MoreAddressesDialog::mouseMoveEvent(QMouseEvent* event) {
    if (grip_.x() < 0 || !(event->buttons() & Qt::LeftButton)) return;
    move(event->globalPosition().toPoint() - grip_);
}

void MoreAddressesDialog::mouseReleaseEvent(QMouseEvent*) { grip_ = QPoint(-1, -1); }
