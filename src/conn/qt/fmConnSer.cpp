#include "conn/qt/fmConnSer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <utility>

#include "conn/qt/ConnSer.h"
#include "util/qt/Help.h"

namespace corvane {

namespace {

// Takes any two digits as typed: a number past the range is read as its nearest end instead of
// refusing the keystroke that makes it, so typing 4 then 0 gives 32, not 4.
class TPortSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& text, int& pos) const override {
        (void)pos;
        const QString digits = text.trimmed();
        if (digits.isEmpty())
            return QValidator::Intermediate;
        for (const QChar c : digits)
            if (!c.isDigit())
                return QValidator::Invalid;
        return QValidator::Acceptable;
    }
    int valueFromText(const QString& text) const override {
        bool ok = false;
        const int value = text.trimmed().toInt(&ok, 10);
        return ok ? std::clamp(value, minimum(), maximum()) : minimum();
    }
    void fixup(QString& text) const override { text = QString::number(valueFromText(text)); }
};

} // namespace

TfrmConnSer::TfrmConnSer(TSerialPorts ports, QWidget* parent)
    : QDialog(parent), ports_(std::move(ports)) {
    setObjectName("frmConnSer");
    setWindowTitle("Serial");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // Only the main window waits for the dialog, so the help window stays usable meanwhile.
    setWindowModality(Qt::WindowModal);
    SetHelpContext(this, 21);

    lblPort = new QLabel("Port", this);
    spePort = new TPortSpinBox(this);
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
    const QString device = SerialDeviceFor(ports_, Port());
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
