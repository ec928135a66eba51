// The sensor list lvDev: one row per sensor record in use, kept in the order of the sort state.
// It hears the store directly and makes its cells with ListTexts at the moment the store reports,
// so that what only an expiry tick moves (Age, Run Avg) stays as it was between ticks; the order
// is decided from the store's records. Re-sorting and repainting are gathered up and done once
// per frame of the screen (see TFramePace).
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QStringList>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "app/ListTexts.h"
#include "store/Alerts.h"
#include "store/ListSort.h"
#include "store/Listener.h"

class QTreeView;

namespace corvane {

class TStore;

class TSensorListModel : public QAbstractTableModel, public TListListener {
    Q_OBJECT
public:
    // The store is the one whose calls make the rows: the window's list is made before its
    // store and takes it from the first call; a list made for a store sorts by it from the start.
    explicit TSensorListModel(QObject* parent = nullptr);
    explicit TSensorListModel(const TStore& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // What the store reports.
    void RowMade(const TStore& store, uint16_t row) override;
    void RowChanged(const TStore& store, uint16_t row, TDateTime now) override;
    void SensorCountChanged(uint16_t sensors) override;
    void ReadCountChanged(int32_t reads) override;
    void BeginAgeing() override;
    void RowAged(const TStore& store, uint16_t row, bool runAvgMoved, int32_t age) override;
    void EndAgeing() override;

    // The texts as they are placed. A new sensor row: label, kind, zero counts and an empty age.
    void MakeRow(uint16_t row, std::string_view label, std::string_view kind);
    // New texts after the sensor's statistics were recomputed; the kind and health cells stay.
    void UpdateRow(uint16_t row, const TRowTexts& texts);
    void SetCaption(int column, std::string_view caption);
    // One expiry tick's Run Avg (empty: unchanged) and Age cells; between BeginAgeing and
    // EndAgeing they are repainted together at the end.
    void AgeRow(uint16_t row, std::string_view runAvg, std::string_view age);
    // Empties the list; the captions keep their texts.
    void Clear();
    // A late or silent row gets its tone and its mark in the Age cell.
    void SetAlertState(uint16_t row, TAlertState state);
    // Whether the row's state is what something it is behind leaves of it: its mark is hollow.
    void SetAlertBehind(uint16_t row, bool behind);
    bool AlertBehind(uint16_t sensorRow) const;
    void ClearAlertStates();
    TAlertState AlertState(uint16_t sensorRow) const;

    void ColumnClick(int column);
    const TSortState& SortState() const { return sort_; }
    // Takes a remembered order back, as if its header clicks had been made.
    void SetSortState(const TSortState& state);

    uint16_t SensorRowAt(int modelRow) const; // 0xFFFF when out of range
    int ModelRowOf(uint16_t sensorRow) const; // -1 when the sensor has no row
    // The texts of a row as shown, by sensor row (empty when there is none).
    QString CellText(uint16_t sensorRow, int column) const;
    bool IsMarked(uint16_t sensorRow) const;

    // Carries out the re-sort and repaint that are waiting for the frame's catch-up.
    void Flush();
    bool HasPendingWork() const { return flushPosted_; }

    // The designed width of a column; the view widens it where its texts need more.
    static int ColumnWidth(int column);
    // The widest texts a column can show: its caption with the largest counter it can carry,
    // and its cells at their widest (every kind name, a whole serial number, the largest count).
    static QString WidestCaption(int column);
    static QStringList WidestCells(int column);
    static const QPixmap& MarkerImage();

signals:
    // A row became selected in an attached view / was double-clicked there.
    void SensorSelected(quint16 row);
    void HistoryRequested(quint16 row);
    // The sort state changed, by a header click or a remembered order.
    void SortChanged();

private:
    struct TRow {
        std::string Label;
        std::string Kind;
        bool Marked = false;
        std::string Count{NoCount};
        std::string Dups{NoCount};
        std::string RunAvg{NoCount};
        std::string Age;
        // Made from the sensor's whole chain, so only when read (see MakeHealth).
        mutable std::string Loss;
        mutable std::string Routes{NoRoutes};
        mutable bool HealthDue = false;
    };

    // Marks a sensor's cells in columns [first, last] for the next repaint and posts the flush.
    void Post(bool resort, uint16_t row = NoRow, int first = 0, int last = ListColumnCount - 1);
    void Repaint();
    void Resort();
    void TellCaptions();
    bool Has(uint16_t row) const { return row < pos_.size() && pos_[row] >= 0; }
    const std::string& Cell(const TRow& r, int column) const;
    void MakeHealth(uint16_t row) const;
    QVariant ToolTip(uint16_t sensor, int column) const;

    const TStore* store_ = nullptr;
    TSortState sort_;
    std::vector<TRow> rows_;      // by sensor row
    std::vector<uint16_t> order_; // model row -> sensor row
    std::vector<int> pos_;        // sensor row -> model row, -1 when none
    // By sensor row; kept apart from the rows, since a state may come before its row is made.
    std::array<TAlertState, MaxSensors> alerts_{};
    std::array<bool, MaxSensors> behind_{};
    std::array<QString, ListColumnCount> captions_;
    std::array<QString, ListColumnCount> toldCaptions_; // as the views last heard of them
    bool captionsPending_ = false;
    bool ageing_ = false;
    bool flushPosted_ = false;
    bool resortPending_ = false;
    bool repaintPending_ = false;
    // What waits to be repainted: these sensors (all when repaintAll_) in these columns.
    std::vector<uint16_t> dirty_;
    // Kept to spare allocations per frame.
    std::vector<int> repaintRows_;
    std::vector<uint16_t> sorted_;
    std::vector<std::pair<int, int>> repaintRuns_;
    static constexpr size_t kMaxRepaintRuns = 16;
    bool repaintAll_ = false;
    int dirtyFirst_ = ListColumnCount;
    int dirtyLast_ = -1;
};

// Sets a tree view up as the sensor list: report style, whole-row single selection, column
// widths, header clicks re-sorting, and the model's SensorSelected (when a row becomes selected,
// also after being deselected) and HistoryRequested (double click) signals. A double click opens
// the sensor that was under the pointer when its first press came, even if the rows were
// re-sorted in between.
void AttachSensorList(QTreeView* view, TSensorListModel* model);
// The sensor row of the view's selected row, 0xFFFF when none is selected.
uint16_t SelectedSensor(const QTreeView* view, const TSensorListModel* model);
// Widens each column to what its widest caption and cells need in the view's fonts; the width
// the list needs to show every column up to Age whole (with frame and vertical scroll bar) is
// returned.
int FitSensorColumns(QTreeView* view, const TSensorListModel* model);

} // namespace corvane
