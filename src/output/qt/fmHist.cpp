#include "output/qt/fmHist.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "store/ActivityStore.h"
#include "util/untConst.h"
#include "util/qt/Help.h"
#include "util/qt/Latin1.h"

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

QTreeWidgetItem* ReadItem(const TStore& store, const TRead& read, TDateTime previous) {
    char at[32];
    const size_t n = FormatDateTimeShort(store.Clock().ToLocal(read.Wall), at);
    QString repeater, entry;
    if (read.Repeat != NoIndex && read.Repeat < MaxRepeats)
        repeater = QString(QLatin1Char(store.Repeats[read.Repeat].Id));
    if (read.Entry != NoIndex && read.Entry < MaxEntries)
        entry = Latin1(store.Entries[read.Entry].Name.View());
    return new QTreeWidgetItem(QStringList{QString::fromLatin1(at, static_cast<qsizetype>(n)),
                                           QString::number(SecondsDiff(read.Time, previous)),
                                           repeater, entry});
}

} // namespace

TfrmHist::TfrmHist(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
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
    lvHist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvHist->header()->setStretchLastSection(false);
    lvHist->header()->setSectionsMovable(false);
    const int widths[] = {110, 75, 75, 75};
    for (int c = 0; c < 4; ++c)
        lvHist->setColumnWidth(c, widths[c]);

    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panel);
    layout->addWidget(lvHist, 1);
    layout->addWidget(status);
    setFocusProxy(lvHist);
}

void TfrmHist::LoadSensor(const TStore& store, uint16_t row) {
    TDateTime previous = store.Clock().Now();
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

    QList<QTreeWidgetItem*> items;
    // A chain never holds more reads than the ring; the bound keeps a damaged chain from looping.
    int32_t left = MaxReads;
    for (int32_t n = s.Newest; n >= 0 && n < MaxReads && left-- > 0;) {
        const TRead& read = store.Reads[n];
        items.push_back(ReadItem(store, read, previous));
        previous = read.Time;
        n = read.SensorOlder;
    }
    lvHist->addTopLevelItems(items);
}

void TfrmHist::hideEvent(QHideEvent* event) {
    lvHist->clear();
    QDialog::hideEvent(event);
}

} // namespace corvane
