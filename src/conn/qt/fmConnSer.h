// The serial port dialog: one instance for the whole run, so it shows the port chosen last.
#pragma once

#include <QDialog>

#include "conn/qt/ConnSer.h"

class QLabel;
class QPushButton;
class QSpinBox;

namespace corvane {

class TfrmConnSer : public QDialog {
    Q_OBJECT
public:
    // ports: the settings' port map, for the device shown beside the number.
    explicit TfrmConnSer(TSerialPorts ports, QWidget* parent = nullptr);

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

    const TSerialPorts ports_;
};

} // namespace corvane
