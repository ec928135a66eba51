#include "conn/fmConnSer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "app/Help.h"
#include "conn/ConnSer.h"

namespace corvane {

TfrmConnSer::TfrmConnSer(QWidget* parent) : QDialog(parent) {
    setObjectName("frmConnSer");
    setWindowTitle("Serial");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // Only the main window waits for the dialog, so the help window stays usable meanwhile.
    setWindowModality(Qt::WindowModal);
    SetHelpContext(this, 21);

    lblPort = new QLabel("Port", this);
    spePort = new QSpinBox(this);
    spePort->setObjectName("spePort");
    spePort->setRange(1, 32);
    spePort->setValue(1);
    spePort->findChild<QLineEdit*>()->setMaxLength(2);
    lblPort->setBuddy(spePort);
    lblDevice = new QLabel(this);
    lblDevice->setTextFormat(Qt::PlainText);
    lblDevice->setObjectName("lblDevice");
    lblDevice->setMinimumWidth(150);
    btnOk = new QPushButton("&OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton("&Cancel", this);
    btnCancel->setObjectName("btnCancel");

    auto* row = new QHBoxLayout;
    row->addWidget(lblPort);
    row->addWidget(spePort);
    row->addWidget(lblDevice, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(spePort, &QSpinBox::valueChanged, this, &TfrmConnSer::ShowDevice);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmConnSer::ShowDevice() {
    const QString device = SerialDeviceFor(Port());
    lblDevice->setText(device.isEmpty() ? QStringLiteral("(no such device)") : device);
}

bool TfrmConnSer::Execute() {
    ShowDevice();
    spePort->setFocus();
    spePort->selectAll();
    return exec() == QDialog::Accepted;
}

int TfrmConnSer::Port() const {
    bool ok = false;
    const int value = spePort->cleanText().trimmed().toInt(&ok, 10);
    return ok ? std::clamp(value, 1, 32) : 1;
}

} // namespace corvane
