#include "app/qt/SensorListModel.h"

#include <QPixmap>

#include <algorithm>
#include <memory>

#include "app/qt/AlertLook.h"
#include "app/qt/SensorListColumns.h"
#include "store/ActivityStore.h"
#include "util/qt/FramePace.h"
#include "util/qt/Latin1.h"
#include "util/untConst.h"

namespace corvane {

using namespace list_columns;

namespace {

// Unmarked rows get an empty image of the same size, so that every label starts in one column.
const QPixmap& BlankImage() {
    static const QPixmap blank = ClearMark();
    return blank;
}

} // namespace

TSensorListModel::TSensorListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (int c = 0; c < ListColumnCount; ++c)
        toldCaptions_[c] = captions_[c] = QString::fromLatin1(Captions[c]);
}

TSensorListModel::TSensorListModel(const TStore& store, QObject* parent)
    : TSensorListModel(parent) {
    store_ = &store;
}

void TSensorListModel::RowMade(const TStore& store, uint16_t row) {
    store_ = &store;
    TListTexts texts;
    texts.New(store, row);
    MakeRow(row, texts.Label, texts.Kind);
}

void TSensorListModel::RowChanged(const TStore& store, uint16_t row, TDateTime now) {
    TListTexts texts;
    texts.Changed(store, row, now, false);
    UpdateRow(row, texts.Row());
    if (Has(row))
        rows_[row].HealthDue = true;
}

void TSensorListModel::SensorCountChanged(uint16_t sensors) {
    TListTexts texts;
    SetCaption(0, texts.SensorCaption(sensors));
}

void TSensorListModel::ReadCountChanged(int32_t reads) {
    TListTexts texts;
    SetCaption(2, texts.CountCaption(reads));
}

void TSensorListModel::RowAged(const TStore& store, uint16_t row, bool runAvgMoved, int32_t age) {
    TListTexts texts;
    // The health figures only move with the chain, which the store reports through RowChanged;
    // taking them here too keeps the row right even if a chain changed without one.
    texts.Aged(store, row, runAvgMoved, age, false);
    if (Has(row))
        rows_[row].HealthDue = true;
    AgeRow(row, texts.RunAvg, texts.Age);
}

// Loss % and Routes walk the sensor's whole chain, which for a sensor that owns the ring is
// every read held. Making them on every read would walk it once per read, and for rows nobody
// sees; they are made instead when somebody reads the cell (the view's repaint after the frame),
// from the chain as it stands then.
void TSensorListModel::MakeHealth(uint16_t row) const {
    const TRow& r = rows_[row];
    if (!r.HealthDue || !store_)
        return;
    TListTexts texts;
    texts.Health(*store_, row);
    r.Loss = texts.Loss;
    r.Routes = texts.Routes;
    r.HealthDue = false;
}

int TSensorListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int TSensorListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ListColumnCount;
}

const std::string& TSensorListModel::Cell(const TRow& r, int column) const {
    if (column >= LossColumn)
        MakeHealth(static_cast<uint16_t>(&r - rows_.data()));
    switch (column) {
    case 0:
        return r.Label;
    case 1:
        return r.Kind;
    case 2:
        return r.Count;
    case 3:
        return r.Dups;
    case 4:
        return r.RunAvg;
    case 5:
        return r.Age;
    case LossColumn:
        return r.Loss;
    default:
        return r.Routes;
    }
}

QVariant TSensorListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(order_.size()))
        return {};
    const uint16_t sensor = order_[index.row()];
    const TRow& r = rows_[sensor];
    switch (role) {
    case Qt::DisplayRole:
        return Latin1(Cell(r, index.column()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Aligns[index.column()] | Qt::AlignVCenter));
    case Qt::DecorationRole:
        if (index.column() == 0)
            return r.Marked ? MarkerImage() : BlankImage();
        if (index.column() == MarkColumn && alerts_[sensor] != TAlertState::Reporting)
            return AlertMark(alerts_[sensor], behind_[sensor]);
        return {};
    case Qt::BackgroundRole:
    case Qt::ForegroundRole:
        return AlertRoleData(alerts_[sensor], role);
    case Qt::ToolTipRole:
        return ToolTip(sensor, index.column());
    case Qt::UserRole:
        return sensor;
    default:
        return {};
    }
}

QVariant TSensorListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ListColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return captions_[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Aligns[section] | Qt::AlignVCenter));
    return {};
}

void TSensorListModel::MakeRow(uint16_t row, std::string_view label, std::string_view kind) {
    if (row >= MaxSensors)
        return;
    if (rows_.size() <= row) {
        rows_.resize(row + 1);
        pos_.resize(row + 1, -1);
    }
    TRow fresh;
    fresh.Label = label;
    fresh.Kind = kind;
    if (Has(row)) { // made again without a clear: start the row over in place
        rows_[row] = std::move(fresh);
        Post(true, row);
        return;
    }
    const int at = static_cast<int>(order_.size());
    beginInsertRows(QModelIndex(), at, at);
    rows_[row] = std::move(fresh);
    order_.push_back(row);
    pos_[row] = at;
    endInsertRows();
    Post(true, row);
}

void TSensorListModel::UpdateRow(uint16_t row, const TRowTexts& texts) {
    if (!Has(row))
        return;
    TRow& r = rows_[row];
    r.Label = texts.Label;
    r.Marked = texts.Marked;
    r.Count = texts.Count;
    r.Dups = texts.Dups;
    r.RunAvg = texts.RunAvg;
    r.Age = texts.Age;
    Post(true, row);
}

void TSensorListModel::SetCaption(int column, std::string_view caption) {
    if (column < 0 || column >= ListColumnCount)
        return;
    QString text = Latin1(caption);
    if (text == captions_[column])
        return;
    // The caption reads its new text at once; the header hears of it with the frame's catch-up.
    // A full ring changes the Count caption twice per packet (a read out, a read in), and every
    // notice lays the header and the list's scroll bars out anew.
    captions_[column] = std::move(text);
    captionsPending_ = true;
    Post(false);
}

void TSensorListModel::TellCaptions() {
    captionsPending_ = false;
    for (int c = 0; c < ListColumnCount; ++c)
        if (toldCaptions_[c] != captions_[c]) {
            toldCaptions_[c] = captions_[c];
            emit headerDataChanged(Qt::Horizontal, c, c);
        }
}

void TSensorListModel::BeginAgeing() {
    ageing_ = true;
}

void TSensorListModel::AgeRow(uint16_t row, std::string_view runAvg, std::string_view age) {
    if (!Has(row))
        return;
    TRow& r = rows_[row];
    if (!runAvg.empty())
        r.RunAvg = runAvg;
    r.Age = age;
    // The tick repaints Run Avg to Routes of every aged row once, at its end.
    if (ageing_)
        dirty_.push_back(row);
    else
        Post(sort_.SortColumn == 4, row, 4, ListColumnCount - 1);
}

void TSensorListModel::EndAgeing() {
    ageing_ = false;
    // Ageing moves the running averages and nothing else that the order depends on.
    Post(sort_.SortColumn == 4, NoRow, 4, ListColumnCount - 1);
}

void TSensorListModel::Clear() {
    beginResetModel();
    alerts_.fill(TAlertState::Reporting);
    behind_.fill(false);
    rows_.clear();
    order_.clear();
    pos_.clear();
    resortPending_ = false;
    repaintPending_ = false;
    dirty_.clear();
    repaintAll_ = false;
    dirtyFirst_ = ListColumnCount;
    dirtyLast_ = -1;
    endResetModel();
}

void TSensorListModel::SetAlertState(uint16_t row, TAlertState state) {
    if (row >= MaxSensors || alerts_[row] == state)
        return;
    alerts_[row] = state;
    if (Has(row))
        Post(false, row);
}

void TSensorListModel::SetAlertBehind(uint16_t row, bool behind) {
    if (row >= MaxSensors || behind_[row] == behind)
        return;
    behind_[row] = behind;
    if (Has(row))
        Post(false, row);
}

bool TSensorListModel::AlertBehind(uint16_t sensorRow) const {
    return sensorRow < MaxSensors && behind_[sensorRow];
}

void TSensorListModel::ClearAlertStates() {
    alerts_.fill(TAlertState::Reporting);
    behind_.fill(false);
    repaintAll_ = true;
    Post(false);
}

TAlertState TSensorListModel::AlertState(uint16_t sensorRow) const {
    return sensorRow < MaxSensors ? alerts_[sensorRow] : TAlertState::Reporting;
}

QVariant TSensorListModel::ToolTip(uint16_t sensor, int column) const {
    if (column == 0 && rows_[sensor].Marked)
        return Latin1(MarkedTip);
    if (column != MarkColumn || alerts_[sensor] == TAlertState::Reporting || !store_)
        return {};
    // Worked out when asked, so that it tells the silence as it stands at that moment.
    if (const TAlertCause cause = store_->Alerts.Cause(TAlertKind::Sensor, sensor); cause.Any())
        return Latin1(BehindTip(*store_, cause));
    const TDateTime now = store_->Clock().Now();
    float gap = -1.0f;
    if (!store_->Alerts.UsualGap(TAlertKind::Sensor, sensor, gap))
        gap = -1.0f;
    return Latin1(
        AlertTip(alerts_[sensor], store_->Alerts.Silence(TAlertKind::Sensor, sensor, now), gap));
}

void TSensorListModel::ColumnClick(int column) {
    if (column < 0 || column >= ListColumnCount)
        return;
    sort_.ColumnClick(column);
    repaintAll_ = true;
    Post(true);
    Flush();
    emit SortChanged();
}

void TSensorListModel::SetSortState(const TSortState& state) {
    sort_ = state;
    repaintAll_ = true;
    Post(true);
    Flush();
    emit SortChanged();
}

uint16_t TSensorListModel::SensorRowAt(int modelRow) const {
    if (modelRow < 0 || modelRow >= static_cast<int>(order_.size()))
        return NoRow;
    return order_[modelRow];
}

int TSensorListModel::ModelRowOf(uint16_t sensorRow) const {
    return Has(sensorRow) ? pos_[sensorRow] : -1;
}

QString TSensorListModel::CellText(uint16_t sensorRow, int column) const {
    if (!Has(sensorRow) || column < 0 || column >= ListColumnCount)
        return {};
    return Latin1(Cell(rows_[sensorRow], column));
}

bool TSensorListModel::IsMarked(uint16_t sensorRow) const {
    return Has(sensorRow) && rows_[sensorRow].Marked;
}

} // namespace corvane
