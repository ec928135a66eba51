#include "output/qt/fmHist.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "output/CsvExport.h"
#include "output/qt/TimelineStrip.h"
#include "output/qt/fmExport.h"
#include "store/ActivityStore.h"
#include "util/qt/ErrorReport.h"
#include "util/qt/Help.h"
#include "util/qt/Latin1.h"
#include "util/untConst.h"

namespace corvane {

namespace {

// A borderless box in the panel's colour whose text can still be selected and copied.
QLineEdit* ValueBox(QWidget* parent, bool readOnly) {
    auto* e = new QLineEdit(parent);
    e->setFrame(false);
    e->setReadOnly(readOnly);
    // Reached by clicking only, so that the window opens with the list active.
    e->setFocusPolicy(Qt::ClickFocus);
    QPalette p = e->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    e->setPalette(p);
    return e;
}

QTreeWidgetItem* ReadItem(const THistory& history, const THistRead& read) {
    char at[32];
    const size_t n = FormatDateTimeShort(read.Shown, at);
    QString repeater;
    if (read.Repeater != '\0')
        repeater = QString(QLatin1Char(read.Repeater));
    return new QTreeWidgetItem(QStringList{QString::fromLatin1(at, static_cast<qsizetype>(n)),
                                           QString::number(read.Gap), repeater,
                                           Latin1(history.EntryName(read))});
}

QToolButton* BarButton(QAction* action, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setDefaultAction(action);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus); // the table stays the active control
    return b;
}

} // namespace

TfrmHist::TfrmHist(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ChooseFile(RunCsvSaveDialog) {
    setWindowTitle("Sensor History");
    // Only the main window waits for it, so the help window stays usable beside it.
    setWindowModality(Qt::WindowModal);
    SetHelpContext(this, 11);
    resize(384, 300);

    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(3, 3, 3, 3);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    edtSen = ValueBox(panel, false);
    edtKind = ValueBox(panel, false);
    edtSerNo = ValueBox(panel, true);
    lblLoc = new QLabel(panel);
    lblLoc->setTextFormat(Qt::PlainText);
    lblLoc->hide();
    grid->addWidget(new QLabel("Sensor:", panel), 0, 0);
    grid->addWidget(edtSen, 0, 1, 1, 2);
    grid->addWidget(lblLoc, 0, 3);
    grid->addWidget(new QLabel("Kind:", panel), 1, 0);
    grid->addWidget(edtKind, 1, 1);
    grid->addWidget(new QLabel("SerialNo:", panel), 1, 2);
    grid->addWidget(edtSerNo, 1, 3);
    edtLoss = ValueBox(panel, true);
    edtRoutes = ValueBox(panel, true);
    grid->addWidget(new QLabel("Loss %:", panel), 2, 0);
    grid->addWidget(edtLoss, 2, 1);
    grid->addWidget(new QLabel("Routes:", panel), 2, 2);
    grid->addWidget(edtRoutes, 2, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    lvHist = new QTreeWidget(this);
    lvHist->setHeaderLabels({"At", "Gap (sec)", "Repeater", "Entry"});
    lvHist->setRootIsDecorated(false);
    lvHist->setUniformRowHeights(true);
    lvHist->setAllColumnsShowFocus(true);
    lvHist->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows at once, for Copy.
    lvHist->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvHist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvHist->header()->setStretchLastSection(false);
    lvHist->header()->setSectionsMovable(false);
    const int widths[] = {110, 75, 75, 75};
    for (int c = 0; c < 4; ++c)
        lvHist->setColumnWidth(c, widths[c]);

    tlHist = new TTimelineStrip(this);
    tlHist->SetHistory(&history_);
    connect(tlHist, &TTimelineStrip::ReadClicked, this, &TfrmHist::SelectRow);
    connect(lvHist, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        tlHist->SetMarked(item != nullptr ? lvHist->indexOfTopLevelItem(item) : -1);
    });

    actCopy = new QAction("Copy", this);
    actCopy->setShortcut(QKeySequence::Copy);
    // Ctrl+C anywhere in the window but the value boxes, which copy their own text.
    actCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    actExport = new QAction("Export...", this);
    connect(actCopy, &QAction::triggered, this, &TfrmHist::CopyClick);
    connect(actExport, &QAction::triggered, this, &TfrmHist::ExportClick);
    addAction(actCopy);
    lvHist->setContextMenuPolicy(Qt::ActionsContextMenu);
    lvHist->addAction(actCopy);
    lvHist->addAction(actExport);

    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    btnCopy = BarButton(actCopy, status);
    btnExport = BarButton(actExport, status);
    MakeSpanChoice(status);
    status->addWidget(cbSpan);
    status->addPermanentWidget(btnCopy);
    status->addPermanentWidget(btnExport);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panel);
    layout->addWidget(tlHist);
    layout->addWidget(lvHist, 1);
    layout->addWidget(status);
    setFocusProxy(lvHist);
}

void TfrmHist::LoadSensor(const TStore& store, uint16_t row) {
    const TDateTime now = store.Clock().Now();
    if (row >= store.SensorCount)
        return;
    const TSensor& s = store.Sensors[row];
    edtSen->setText(Latin1(s.Name.View()));
    edtSen->setCursorPosition(0); // a name longer than the box shows its start
    edtKind->setText(Latin1(SensorKindName(s.Kind)));
    edtSerNo->setText(QString::fromStdString(SerialToHex(s.SerNo)));
    if (s.Kind == 23) {
        lblLoc->setText(QString::fromLatin1("Locator: ") +
                        QString::fromStdString(LocatorChar(LocatorIndex(s.Data))));
        lblLoc->show();
    } else {
        lblLoc->hide();
    }
    char buffer[16];
    edtLoss->setText(Latin1(store.LossText(row, buffer)));
    edtRoutes->setText(Latin1(store.RoutesText(row, buffer)));
    store_ = &store;
    row_ = row;
    serNo_ = s.SerNo;
    newer_.clear();
    if (Span() != THistSpan::Held) {
        ReloadSpan();
        return;
    }

    // The table, the timeline and the exports all show the rows of this one walk.
    const size_t first = history_.Rows.size();
    LoadHistory(store, row, now, history_);
    lvHist->addTopLevelItems(Items(first, history_.Rows.size()));
    tlHist->SetNote({});
    tlHist->SetHistory(&history_);
}

QList<QTreeWidgetItem*> TfrmHist::Items(size_t first, size_t last) const {
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(last - first));
    for (size_t k = first; k < last; ++k)
        items.push_back(ReadItem(history_, history_.Rows[k]));
    return items;
}

QString TfrmHist::SelectedText() const {
    QList<int> rows;
    for (const QModelIndex& index : lvHist->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end()); // in the table's order, whatever order they were picked
    QString text;
    for (int row : rows) {
        const QTreeWidgetItem* item = lvHist->topLevelItem(row);
        for (int c = 0; c < lvHist->columnCount(); ++c) {
            if (c > 0)
                text += '\t';
            text += item->text(c);
        }
        text += '\n';
    }
    return text;
}

void TfrmHist::CopyClick() {
    const QString text = SelectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void TfrmHist::ExportClick() {
    const QString path = ChooseFile(this, TfrmExport::StartFolder());
    if (path.isEmpty())
        return;
    TfrmExport::NoteChosenFile(path);
    try {
        WriteHistoryExport(QFile::encodeName(path).toStdString(), history_);
    } catch (const std::exception& e) {
        ReportError(e.what());
    }
}

void TfrmHist::SelectRow(int row) {
    QTreeWidgetItem* item = lvHist->topLevelItem(row);
    if (item == nullptr)
        return;
    lvHist->setCurrentItem(item); // selects that row alone
    lvHist->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

void TfrmHist::hideEvent(QHideEvent* event) {
    lvHist->clear();
    history_.Clear();
    newer_.clear();
    tlHist->SetHistory(&history_);
    QDialog::hideEvent(event);
}

} // namespace corvane
