#include "app/qt/fmMissing.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <array>

#include "app/MissingTexts.h"
#include "history/HistoryTime.h"
#include "history/Sqlite.h"
#include "util/qt/Help.h"
#include "util/qt/Latin1.h"

namespace corvane {

namespace {

constexpr int kHelpContext = 27;

constexpr std::array<const char*, TMissingModel::ColumnCount> kCaptions = {
    "Kind", "Label", "Last read", "Ago", "Usual gap", "Route"};
constexpr std::array<int, TMissingModel::ColumnCount> kWidths = {90, 150, 130, 90, 75, 150};

// The durations line up by their units, under captions that do the same.
int Alignment(int column) {
    const bool duration = column == TMissingModel::ColAgo || column == TMissingModel::ColUsualGap;
    return int((duration ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}

} // namespace

void TMissingModel::SetRecords(std::vector<TKnownRecord> records, int64_t nowMs,
                               const TClock& clock) {
    beginResetModel();
    records_ = std::move(records);
    nowMs_ = nowMs;
    // Made now: the view may still paint while the window goes, after the clock has gone.
    lastRead_.clear();
    for (const TKnownRecord& r : records_)
        lastRead_.push_back(
            QString::fromStdString(FormatDateTimeFull(clock.ToLocal(UnixMsToWall(r.LastMs)))));
    endResetModel();
}

int TMissingModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int TMissingModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString TMissingModel::Text(const TKnownRecord& r, int column) const {
    switch (column) {
    case ColKind:
        return Latin1(KnownKindName(r.Kind));
    case ColLabel:
        return Latin1(r.Label);
    case ColLastRead:
        return lastRead_[static_cast<size_t>(&r - records_.data())];
    case ColAgo:
        return QString::fromStdString(AgoText(MsLess(nowMs_, r.LastMs)));
    case ColUsualGap:
        return QString::fromStdString(UsualGapText(r.UsualGap));
    case ColRoute:
        return Latin1(RouteText(r));
    default:
        return {};
    }
}

QVariant TMissingModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole)
        return Alignment(index.column());
    if (role != Qt::DisplayRole)
        return {};
    return Text(records_[static_cast<size_t>(index.row())], index.column());
}

QVariant TMissingModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return Alignment(section);
    if (role != Qt::DisplayRole)
        return {};
    return QString::fromLatin1(kCaptions[static_cast<size_t>(section)]);
}

TfrmMissing::TfrmMissing(QWidget* parent) : QDialog(parent), model_(new TMissingModel(this)) {
    setObjectName("frmMissing");
    setWindowTitle("Missing");
    SetHelpContext(this, kHelpContext);
    lblSummary = new QLabel;
    lblSummary->setObjectName("lblSummary");
    lblSummary->setTextFormat(Qt::PlainText);
    lblSummary->setWordWrap(true);
    lvMissing = new QTreeView;
    lvMissing->setObjectName("lvMissing");
    lvMissing->setModel(model_);
    lvMissing->setRootIsDecorated(false);
    lvMissing->setUniformRowHeights(true);
    lvMissing->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvMissing->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int c = 0; c < TMissingModel::ColumnCount; ++c)
        lvMissing->header()->resizeSection(c, kWidths[static_cast<size_t>(c)]);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    btnRefresh = buttons->addButton("&Refresh", QDialogButtonBox::ActionRole);
    btnRefresh->setObjectName("btnRefresh");
    connect(btnRefresh, &QPushButton::clicked, this, &TfrmMissing::Refresh);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(lvMissing, 1);
    layout->addWidget(buttons);
    resize(720, 360);
}

void TfrmMissing::SetSource(std::string path, int32_t maxAge, const TClock& clock) {
    path_ = std::move(path);
    maxAge_ = maxAge;
    clock_ = &clock;
}

void TfrmMissing::Refresh() {
    if (clock_ == nullptr)
        return;
    if (path_.empty()) {
        ShowProblem("No history is kept: recording is off ([History] Keep=0).");
        return;
    }
    TSqlite db;
    std::string error;
    std::vector<TKnownRecord> records;
    const int64_t nowMs = WallToUnixMs(clock_->WallNow());
    if (!OpenHistoryToRead(db, path_, error) ||
        !LoadGoneRecords(db, nowMs, maxAge_, records, error)) {
        ShowProblem("No history to read: " + QString::fromStdString(error));
        return;
    }
    lblSummary->setText(QString::fromStdString(GoneSummary(records, maxAge_)));
    model_->SetRecords(std::move(records), nowMs, *clock_);
}

void TfrmMissing::ShowProblem(const QString& text) {
    model_->SetRecords({}, 0, *clock_);
    lblSummary->setText(text);
}

void TfrmMissing::showEvent(QShowEvent* event) {
    Refresh();
    QDialog::showEvent(event);
}

TfrmMissing* ShowMissing(QWidget& window, std::string path, int32_t maxAge, const TClock& clock) {
    auto* dialog = window.findChild<TfrmMissing*>(QString(), Qt::FindDirectChildrenOnly);
    if (dialog == nullptr)
        dialog = new TfrmMissing(&window);
    dialog->SetSource(std::move(path), maxAge, clock);
    if (dialog->isVisible())
        dialog->Refresh();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

} // namespace corvane
