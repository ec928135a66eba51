#include "app/qt/ListFilterBar.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

#include "app/qt/SensorListModel.h"
#include "util/qt/Help.h"

namespace corvane {

TListFilterBar::TListFilterBar(const TStore& store, QTreeView* list, TSensorListModel* model,
                               QWidget* parent)
    : QWidget(parent), store_(store), list_(list), model_(model) {
    setObjectName("pnlFilter");
    edtFilter = new QLineEdit(this);
    edtFilter->setObjectName("edtFilter");
    edtFilter->setPlaceholderText(tr("Filter by label, serial number or kind (Ctrl+F)"));
    edtFilter->setClearButtonEnabled(true);
    cbxState = new QComboBox(this);
    cbxState->setObjectName("cbxState");
    cbxState->addItems({"All", "Late", "Silent", "Late or silent", "Behind something"});
    cbxState->setToolTip(
        tr("Show every sensor, or only those late or silent, or behind a repeater or entry "
           "point that is"));
    SetHelpContext(edtFilter, 7);
    SetHelpContext(cbxState, 7);
    lblShown = new QLabel(this);
    lblShown->setObjectName("lblShown");
    lblShown->setTextFormat(Qt::PlainText);
    lblShown->hide();
    // Over the list's empty page, where the rows would be.
    lblNoMatch = new QLabel(tr("No sensor matches"), list_->viewport());
    lblNoMatch->setObjectName("lblNoMatch");
    lblNoMatch->setAlignment(Qt::AlignCenter);
    lblNoMatch->setForegroundRole(QPalette::PlaceholderText);
    lblNoMatch->hide();
    list_->viewport()->installEventFilter(this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(edtFilter, 1);
    row->addWidget(lblShown);
    row->addWidget(cbxState);

    connect(edtFilter, &QLineEdit::textChanged, this, &TListFilterBar::TakeText);
    connect(cbxState, &QComboBox::currentIndexChanged, this, [this](int index) {
        filter_.SetState(static_cast<TStateChoice>(std::max(index, 0)));
        Apply();
    });
    // The model repaints its rows once per turn of the event loop after any change: new rows,
    // new labels and new states are all judged then. New rows are hidden at once as well, so
    // that a row that does not match never shows for a moment.
    connect(model_, &QAbstractItemModel::dataChanged, this, &TListFilterBar::Apply);
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { ApplyRows(first, last); });
    // The view forgets its hidden rows with a reset (Clear All); new rows are judged as they come.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { anyHidden_ = false; });
}

void TListFilterBar::TakeText(const QString& text) {
    // The labels are 8-bit text: a character beyond it is in none of them.
    std::string latin1;
    latin1.reserve(static_cast<size_t>(text.size()));
    bool matchable = true;
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            matchable = false;
        latin1.push_back(static_cast<char>(c.unicode() & 0xFF));
    }
    filter_.SetText(latin1, matchable);
    Apply();
}

void TListFilterBar::Apply() {
    const bool active = filter_.IsActive();
    const int n = model_->rowCount();
    if (!active && !anyHidden_) {
        ShowCount(n, n);
        return;
    }
    const QModelIndex root;
    int shown = 0;
    for (int r = 0; r < n; ++r) {
        const bool hide = active && !filter_.Matches(store_, model_->SensorRowAt(r));
        // Setting a row to what it already is still costs the view a new layout.
        if (list_->isRowHidden(r, root) != hide)
            list_->setRowHidden(r, root, hide);
        shown += hide ? 0 : 1;
    }
    anyHidden_ = active;
    ShowCount(shown, n);
    DropHiddenSelection();
}

void TListFilterBar::ShowCount(int shown, int all) {
    const bool active = filter_.IsActive();
    lblShown->setVisible(active);
    if (active)
        lblShown->setText(tr("%1 of %2 sensors shown").arg(shown).arg(all));
    const bool none = active && shown == 0;
    if (none)
        lblNoMatch->setGeometry(list_->viewport()->rect());
    lblNoMatch->setVisible(none);
}

bool TListFilterBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize)
        lblNoMatch->setGeometry(list_->viewport()->rect());
    return QWidget::eventFilter(watched, event);
}

void TListFilterBar::ApplyRows(int first, int last) {
    if (!filter_.IsActive())
        return;
    bool shownAny = false;
    for (int r = first; r <= last; ++r)
        if (!filter_.Matches(store_, model_->SensorRowAt(r))) {
            list_->setRowHidden(r, QModelIndex(), true);
            anyHidden_ = true;
        } else {
            shownAny = true;
        }
    // The count follows at the next repaint of the rows; a row that shows does so at once.
    if (shownAny)
        lblNoMatch->hide();
}

void TListFilterBar::DropHiddenSelection() {
    QItemSelectionModel* selection = list_->selectionModel();
    if (!selection)
        return;
    const QModelIndexList rows = selection->selectedRows();
    const QModelIndex current = selection->currentIndex();
    const bool selectedHidden = !rows.isEmpty() && list_->isRowHidden(rows.first().row(), {});
    const bool currentHidden = current.isValid() && list_->isRowHidden(current.row(), {});
    // Keyboard moves start from the current row: it must not stay on a hidden one either.
    if (selectedHidden || currentHidden)
        selection->clear();
}

int TListFilterBar::ShownCount() const {
    int shown = 0;
    for (int r = 0; r < model_->rowCount(); ++r)
        shown += list_->isRowHidden(r, {}) ? 0 : 1;
    return shown;
}

QWidget* StackFilterOverList(TListFilterBar* bar, QTreeView* list) {
    auto* pane = new QWidget;
    pane->setObjectName("pnlSensorList");
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(bar);
    column->addWidget(list, 1);

    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), pane);
    find->setContext(Qt::WindowShortcut);
    QObject::connect(find, &QShortcut::activated, bar, [bar] {
        bar->edtFilter->setFocus(Qt::ShortcutFocusReason);
        bar->edtFilter->selectAll();
    });
    auto* clear = new QShortcut(QKeySequence(Qt::Key_Escape), pane);
    clear->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(clear, &QShortcut::activated, bar->edtFilter, &QLineEdit::clear);
    return pane;
}

} // namespace corvane
