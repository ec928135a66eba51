#include "conn/qt/fmConnTcp.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "util/qt/Help.h"

namespace corvane {

int DecimalOr(const QString& text, int def) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : def;
}

TfrmConnTcp::TfrmConnTcp(QWidget* parent) : QDialog(parent) {
    setObjectName("frmConnTcp");
    setWindowTitle("TCP/IP");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // Only the main window waits for the dialog, so the help window stays usable meanwhile.
    setWindowModality(Qt::WindowModal);
    SetHelpContext(this, 21);

    lblIp = new QLabel("IP Address", this);
    edtIp = new QLineEdit("192.168.1.55", this);
    edtIp->setObjectName("edtIp");
    lblPort = new QLabel("Port", this);
    edtPort = new QLineEdit("1000", this);
    edtPort->setObjectName("edtPort");
    Label1 = new QLabel("(default 1000)", this);
    btnOk = new QPushButton("&OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnCancel = new QPushButton("&Cancel", this);
    btnCancel->setObjectName("btnCancel");
    lblIp->setBuddy(edtIp);
    lblPort->setBuddy(edtPort);

    auto* grid = new QGridLayout;
    grid->addWidget(lblIp, 0, 0);
    grid->addWidget(edtIp, 0, 1, 1, 2);
    grid->addWidget(lblPort, 1, 0);
    grid->addWidget(edtPort, 1, 1);
    grid->addWidget(Label1, 1, 2);
    edtIp->setMinimumWidth(140);
    edtPort->setMaximumWidth(70);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TfrmConnTcp::Execute() {
    edtIp->setFocus();
    edtIp->selectAll();
    return exec() == QDialog::Accepted;
}

QString TfrmConnTcp::Address() const {
    return edtIp->text();
}

int TfrmConnTcp::Port() const {
    return DecimalOr(edtPort->text(), 1070);
}

} // namespace corvane
