// The TCP/IP target dialog: one instance for the whole run, so it keeps what was typed last.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class TfrmConnTcp : public QDialog {
    Q_OBJECT
public:
    explicit TfrmConnTcp(QWidget* parent = nullptr);

    // Shows the dialog modally; true when confirmed.
    bool Execute();
    QString Address() const;
    // The port box as a decimal integer; 1070 when it holds none.
    int Port() const;

    QLabel* lblIp;
    QLineEdit* edtIp;
    QLabel* lblPort;
    QLineEdit* edtPort;
    QLabel* Label1;
    QPushButton* btnOk;
    QPushButton* btnCancel;
};

// A decimal integer with an optional sign and nothing else, or def.
int DecimalOr(const QString& text, int def);

} // namespace corvane
