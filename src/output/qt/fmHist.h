// The sensor history window: every read of one sensor that the ring still holds, newest first,
// with the gap to the read above it and the route it came by. A snapshot, filled before showing.
#pragma once

#include <QDialog>

#include <cstdint>

class QLabel;
class QLineEdit;
class QTreeWidget;

namespace corvane {

class TStore;

class TfrmHist : public QDialog {
    Q_OBJECT
public:
    explicit TfrmHist(QWidget* parent = nullptr);

    // Fills the top panel and appends the sensor's reads; a row that is not in use leaves the
    // window as it was.
    void LoadSensor(const TStore& store, uint16_t row);

    QTreeWidget* lvHist = nullptr;
    QLineEdit* edtSen = nullptr;
    QLineEdit* edtKind = nullptr;
    QLineEdit* edtSerNo = nullptr;
    QLabel* lblLoc = nullptr;
    // The sensor's "Loss %" and "Routes", as the sensor list shows them.
    QLineEdit* edtLoss = nullptr;
    QLineEdit* edtRoutes = nullptr;

protected:
    void hideEvent(QHideEvent* event) override;
};

} // namespace corvane
