// The serial port dialog: one instance for the whole run, so it shows the port chosen last.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QSpinBox;

namespace corvane {

class TfrmConnSer : public QDialog {
    Q_OBJECT
public:
    explicit TfrmConnSer(QWidget* parent = nullptr);

    // Shows the dialog modally; true when confirmed.
    bool Execute();
    // The spin box's text as an integer: 1 when it is none, else clamped to 1..32.
    int Port() const;

    QLabel* lblPort;
    QSpinBox* spePort;
    QLabel* lblDevice;
    QPushButton* btnOk;
    QPushButton* btnCancel;

private:
    void ShowDevice();
};

} // namespace corvane
