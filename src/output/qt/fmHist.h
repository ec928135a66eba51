// The sensor history window: the reads of one sensor, newest first, with the gap to the read
// above it and the route it came by. It shows the reads the ring still holds (a snapshot filled
// before showing) or those the history database keeps over a span of time, and while shown it
// follows the sensor's new reads.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "history/HistoryTime.h"
#include "output/History.h"
#include "output/StoredHistory.h"
#include "store/ReadObserver.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvane {

class TStore;
class TTimelineStrip;

class TfrmHist : public QDialog, public TReadObserver {
    Q_OBJECT
public:
    explicit TfrmHist(QWidget* parent = nullptr);

    // Fills the top panel and the chosen span's reads: the reads held are appended, a span of
    // the database replaces what was loaded. A row that is not in use leaves the window as it
    // was. The store must outlive the window's use of it.
    void LoadSensor(const TStore& store, uint16_t row);
    // The history database to read the spans from, and this run's time line for its reads (the
    // store's clock, with no run recording, when not given). Without a file (no history kept, or
    // none made yet) only the reads held can be chosen.
    void SetHistoryFile(const std::string& path, std::function<TRunMapping()> mapping = {});
    // A new read of any sensor: one of this window's sensor shows at the top of the table and
    // the timeline in the next frame, the selection kept.
    void OnRead(const TStore& store, const TRegisteredRead& read) override;

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
    // Which reads are shown, in THistSpan's order; on the status bar.
    QComboBox* cbSpan = nullptr;
    // "Copy" (also Ctrl+C) and "Export...", on the status bar and the table's pop-up menu.
    QAction* actCopy = nullptr;
    QAction* actExport = nullptr;
    QToolButton* btnCopy = nullptr;
    QToolButton* btnExport = nullptr;

    // The rows as loaded, in the table's order.
    const THistory& History() const { return history_; }
    THistSpan Span() const;
    void SetSpan(THistSpan span);
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
    void MakeSpanChoice(QWidget* parent);
    void SelectRow(int row);
    QList<QTreeWidgetItem*> Items(size_t first, size_t last) const;
    // The chosen span's reads in place of those shown.
    void ReloadSpan();
    void LoadStoredSpan();
    TRunMapping Mapping() const;
    uint16_t EntryOf(const TStore& store, uint8_t entry);
    void CatchUp();

    THistory history_;
    const TStore* store_ = nullptr;
    uint16_t row_ = NoRow;
    int64_t serNo_ = 0;
    std::string historyPath_;
    std::function<TRunMapping()> mapping_;
    std::vector<THistRead> newer_; // registered since the last catch-up, oldest first
};

} // namespace corvane
