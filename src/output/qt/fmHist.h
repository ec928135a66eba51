// The sensor history window: every read of one sensor that the ring still holds, newest first,
// with the gap to the read above it and the route it came by. A snapshot, filled before showing.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

#include "output/History.h"

class QAction;
class QLabel;
class QLineEdit;
class QToolButton;
class QTreeWidget;

namespace corvane {

class TStore;
class TTimelineStrip;

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
    // The reads over time, above the table.
    TTimelineStrip* tlHist = nullptr;
    // "Copy" (also Ctrl+C) and "Export...", on the status bar and the table's pop-up menu.
    QAction* actCopy = nullptr;
    QAction* actExport = nullptr;
    QToolButton* btnCopy = nullptr;
    QToolButton* btnExport = nullptr;

    // The rows as loaded, in the table's order.
    const THistory& History() const { return history_; }
    // The selected rows, as the table shows them: cells split by tabs, each row ending in a line
    // feed.
    QString SelectedText() const;

    // Asks for the file to export to, starting in the given folder; empty when the user
    // cancelled. Replaceable so that the window can be driven without a file dialog.
    std::function<QString(QWidget* parent, const QString& folder)> ChooseFile;

public slots:
    void CopyClick();
    void ExportClick();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void SelectRow(int row);
    THistory history_;
};

} // namespace corvane
