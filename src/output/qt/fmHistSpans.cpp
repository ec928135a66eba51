// The history window's span choice, its reads from the history database, and its following of
// new reads.
#include "output/qt/fmHist.h"

#include <array>

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTreeWidget>

#include "output/qt/TimelineStrip.h"
#include "store/ActivityStore.h"
#include "store/DecodedPacket.h"
#include "util/qt/FramePace.h"

namespace corvane {

namespace {

// In THistSpan's order.
constexpr std::array<const char*, kHistSpanCount> kSpanCaptions{
    "Reads held", "Last hour", "Last 24 hours", "Last 7 days", "Everything kept"};

} // namespace

void TfrmHist::MakeSpanChoice(QWidget* parent) {
    cbSpan = new QComboBox(parent);
    for (const char* caption : kSpanCaptions)
        cbSpan->addItem(caption);
    cbSpan->setFocusPolicy(Qt::ClickFocus); // the table stays the active control
    cbSpan->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    SetHistoryFile({});
    connect(cbSpan, &QComboBox::currentIndexChanged, this, [this] { ReloadSpan(); });
}

void TfrmHist::SetHistoryFile(const std::string& path, std::function<TRunMapping()> mapping) {
    mapping_ = std::move(mapping);
    const bool usable = !path.empty() && QFileInfo::exists(QFile::decodeName(path.c_str()));
    historyPath_ = usable ? path : std::string();
    auto* model = static_cast<QStandardItemModel*>(cbSpan->model());
    for (int k = 1; k < kHistSpanCount; ++k)
        model->item(k)->setEnabled(usable);
    cbSpan->setToolTip(usable ? "The reads the program holds, or those the history database "
                                "keeps over a span of time"
                              : "No history database is kept: only the reads held");
    if (!usable)
        SetSpan(THistSpan::Held);
}

THistSpan TfrmHist::Span() const {
    const int k = cbSpan->currentIndex();
    return k > 0 && k < kHistSpanCount ? static_cast<THistSpan>(k) : THistSpan::Held;
}

void TfrmHist::SetSpan(THistSpan span) {
    cbSpan->setCurrentIndex(static_cast<int>(span));
}

void TfrmHist::ReloadSpan() {
    lvHist->clear();
    history_.Clear();
    newer_.clear();
    tlHist->SetNote({});
    if (store_ != nullptr && Span() == THistSpan::Held)
        LoadHistory(*store_, row_, store_->Clock().Now(), history_);
    else if (store_ != nullptr)
        LoadStoredSpan();
    lvHist->addTopLevelItems(Items(0, history_.Rows.size()));
    tlHist->SetHistory(&history_);
}

void TfrmHist::LoadStoredSpan() {
    TStoredQuery query;
    query.SerNo = serNo_;
    query.Span = Span();
    query.Mapping = Mapping();
    const TClock& clock = store_->Clock();
    query.LocalOffset = clock.ToLocal(clock.WallNow()) - clock.Now();
    std::string error;
    if (!LoadStoredHistory(historyPath_, query, history_, error)) {
        tlHist->SetNote("History database: " + QString::fromStdString(error));
        return;
    }
    // The gap that makes a silence long is the one the sensor list shows, while it has one.
    if (row_ < store_->SensorCount && store_->Sensors[row_].Stats.AvgGap > 0)
        history_.AvgGap = store_->Sensors[row_].Stats.AvgGap;
}

TRunMapping TfrmHist::Mapping() const {
    if (mapping_)
        return mapping_();
    TRunMapping m;
    const TClock& clock = store_->Clock();
    m.Now = clock.Now();
    m.CurrentStart = m.Now;
    m.WallNowMs = WallToUnixMs(clock.WallNow());
    return m;
}

void TfrmHist::OnRead(const TStore& store, const TRegisteredRead& read) {
    // Every read of every sensor comes here: another sensor's costs two comparisons.
    if (read.Row != row_ || read.Packet.SerNo != serNo_ || &store != store_)
        return;
    THistRead h{};
    h.Time = read.Time;
    h.Shown = store.Clock().ToLocal(read.Wall);
    h.Entry = read.Entry < MaxEntries ? EntryOf(store, read.Entry) : NoIndex;
    h.Repeater = read.Repeat < MaxRepeats ? store.Repeats[read.Repeat].Id : '\0';
    h.Dup = read.Duplicate;
    newer_.push_back(h);
    TFramePace::Instance().Ask(this, [this] { CatchUp(); });
}

// The store's index names the entry point while the history's name for it is the store's;
// otherwise (a stored span, an entry point renamed since) the name is the history's own.
uint16_t TfrmHist::EntryOf(const TStore& store, uint8_t entry) {
    const std::string_view name = store.Entries[entry].Name.View();
    if (entry < history_.EntryNames.size() && history_.EntryNames[entry] == name)
        return entry;
    return history_.EntryIndex(name);
}

void TfrmHist::CatchUp() {
    if (newer_.empty() || store_ == nullptr)
        return;
    const int added = static_cast<int>(newer_.size());
    const bool hadRows = !history_.Rows.empty();
    AddNewerReads(history_, newer_, store_->Clock().Now());
    newer_.clear();
    // Rows scrolled to stay in view; the selection and current row move with their items.
    QScrollBar* bar = lvHist->verticalScrollBar();
    const int scrolled = bar->value();
    lvHist->insertTopLevelItems(0, Items(0, static_cast<size_t>(added)));
    if (hadRows)
        lvHist->topLevelItem(added)->setText(1, QString::number(history_.Rows[added].Gap));
    if (scrolled > 0) {
        const bool perItem = lvHist->verticalScrollMode() == QAbstractItemView::ScrollPerItem;
        bar->setValue(scrolled + (perItem ? added : added * lvHist->sizeHintForRow(0)));
    }
    tlHist->SetHistory(&history_);
    QTreeWidgetItem* current = lvHist->currentItem();
    tlHist->SetMarked(current != nullptr ? lvHist->indexOfTopLevelItem(current) : -1);
}

} // namespace corvane
