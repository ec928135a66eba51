#include "conn/qt/fmConnections.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "conn/Conn.h"

namespace corvane {

namespace {
constexpr int RefreshMs = 1000;

const char* const Captions[] = {"Connection",    "Received",  "Passed",    "Too short",
                                "No packet",     "Bad CRC",   "Bad entry", "Invalid msgs",
                                "Dropped chars", "Lines/min", "State"};
static_assert(std::size(Captions) == TConnectionsModel::ColumnCount);

uint64_t Figure(const TConnectionsModel::TRow& row, int column) {
    const TLinkCounts& t = row.Totals;
    switch (column) {
    case TConnectionsModel::ColReceived:
        return t.Received;
    case TConnectionsModel::ColPassed:
        return t.Passed;
    case TConnectionsModel::ColShort:
        return t.Short;
    case TConnectionsModel::ColNoPacket:
        return t.NoPacket;
    case TConnectionsModel::ColBadCrc:
        return t.BadCrc;
    case TConnectionsModel::ColBadEntry:
        return t.BadEntry;
    case TConnectionsModel::ColInvalid:
        return t.Invalid;
    case TConnectionsModel::ColDropped:
        return t.Dropped;
    case TConnectionsModel::ColPerMinute:
        return row.Minute.Lines;
    default:
        return 0;
    }
}
} // namespace

TMinuteCounts SumLastMinute(const std::vector<const TConn*>& conns, TDateTime now) {
    TMinuteCounts sum;
    for (const TConn* conn : conns)
        sum += conn->Link.LastMinute(now);
    return sum;
}

TConnectionsModel::TConnectionsModel(TConnSource source, const TClock& clock, QObject* parent)
    : QAbstractTableModel(parent), source_(std::move(source)), clock_(clock) {}

void TConnectionsModel::Refresh() {
    const TDateTime now = clock_.Now();
    std::vector<TRow> rows;
    for (const TConn* conn : source_())
        rows.push_back({conn->GetDescription(), conn->Link.Totals(), conn->Link.LastMinute(now),
                        conn->GetLinkState()});
    const bool sameRows =
        rows.size() == rows_.size() &&
        std::equal(rows.begin(), rows.end(), rows_.begin(),
                   [](const TRow& a, const TRow& b) { return a.Description == b.Description; });
    if (!sameRows) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return;
    }
    rows_ = std::move(rows);
    if (!rows_.empty())
        emit dataChanged(index(0, ColReceived), index(rowCount() - 1, ColumnCount - 1));
}

int TConnectionsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TConnectionsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TConnectionsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const TRow& row = rows_[size_t(index.row())];
    if (role == Qt::TextAlignmentRole)
        return index.column() == ColConnection || index.column() == ColState
                   ? int(Qt::AlignLeft | Qt::AlignVCenter)
                   : int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    if (index.column() == ColConnection)
        return QString::fromLatin1(row.Description.data(), qsizetype(row.Description.size()));
    if (index.column() == ColState)
        return QString::fromLatin1(row.State.data(), qsizetype(row.State.size()));
    return QString::number(Figure(row, index.column()));
}

QVariant TConnectionsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return QString::fromLatin1(Captions[section]);
}

TfrmConnections::TfrmConnections(TConnSource source, const TClock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(new TConnectionsModel(std::move(source), clock, this)),
      timer_(new QTimer(this)) {
    setObjectName("frmConnections");
    setWindowTitle("Connections");
    lvConnections = new QTableView;
    lvConnections->setObjectName("lvConnections");
    lvConnections->setModel(model_);
    lvConnections->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvConnections->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvConnections->verticalHeader()->hide();
    lvConnections->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(lvConnections);
    resize(900, 160);
    timer_->setInterval(RefreshMs);
    connect(timer_, &QTimer::timeout, model_, &TConnectionsModel::Refresh);
}

void TfrmConnections::showEvent(QShowEvent* event) {
    model_->Refresh();
    timer_->start();
    QWidget::showEvent(event);
}

void TfrmConnections::hideEvent(QHideEvent* event) {
    timer_->stop();
    QWidget::hideEvent(event);
}

TLinkViews::TLinkViews(QWidget& window, QLabel& status, TConnSource source, const TClock& clock)
    : QObject(&window), window_(window), status_(status), source_(std::move(source)),
      clock_(clock) {
    status_.setTextFormat(Qt::PlainText);
    status_.hide();
    auto* timer = new QTimer(this);
    timer->setInterval(RefreshMs);
    connect(timer, &QTimer::timeout, this, &TLinkViews::ShowShare);
    timer->start();
}

void TLinkViews::ShowWindow() {
    if (!frmConnections_)
        frmConnections_ = new TfrmConnections(source_, clock_, &window_);
    frmConnections_->show();
    frmConnections_->raise();
    frmConnections_->activateWindow();
}

void TLinkViews::ShowShare() {
    const std::string text = RejectedShareText(SumLastMinute(source_(), clock_.Now()));
    status_.setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
    status_.setVisible(!text.empty());
}

} // namespace corvane
