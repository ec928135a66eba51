// The sensor list's look in a view: the column widths and widest texts, the marker, and how a
// tree view is set up to show the list.
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/qt/AlertLook.h"
#include "app/qt/SensorListColumns.h"
#include "app/qt/SensorListModel.h"
#include "store/ActivityStore.h"
#include "util/qt/Latin1.h"
#include "util/qt/PaintCache.h"
#include "util/qt/UnshapedText.h"
#include "util/untConst.h"

namespace corvane {

using namespace list_columns;

int TSensorListModel::ColumnWidth(int column) {
    return column >= 0 && column < ListColumnCount ? Widths[column] : 0;
}

QString TSensorListModel::WidestCaption(int column) {
    switch (column) {
    case 0:
        return QStringLiteral("Sensor (%1)").arg(MaxSensors);
    case 2:
        return QStringLiteral("Count (%1)").arg(MaxReads);
    default:
        return column >= 0 && column < ListColumnCount ? QString::fromLatin1(Captions[column])
                                                       : QString();
    }
}

QStringList TSensorListModel::WidestCells(int column) {
    switch (column) {
    case 0: {
        // Whichever hexadecimal digit the font draws widest, sixteen times.
        QStringList serials;
        for (const char digit : std::string_view("0123456789ABCDEF"))
            serials << QString(16, QChar(digit));
        return serials;
    }
    case 1: {
        QStringList kinds;
        for (const std::string_view name : SensorKindNames)
            kinds << Latin1(name);
        return kinds;
    }
    case 2:
    case 3:
        return {QString::number(MaxReads)};
    case 4:
        return {QStringLiteral("9999.99")};
    case 5:
        return {QStringLiteral("999999")};
    case 6:
        return {QStringLiteral("100.0")};
    case 7:
        return {QStringLiteral("999")};
    default:
        return {};
    }
}

// A small red pennant on a grey staff, drawn once at the screen's pixel density. The mid grey
// and the red read on light and dark lists alike.
const QPixmap& TSensorListModel::MarkerImage() {
    static const QPixmap marker = [] {
        QPixmap p = ClearMark();
        QPainter g(&p);
        g.setRenderHint(QPainter::Antialiasing);
        g.setPen(QPen(QColor(128, 128, 128), 1.6));
        g.drawLine(QPointF(3.5, 1.5), QPointF(3.5, 14.5));
        QPainterPath flag;
        flag.moveTo(4.5, 2);
        flag.lineTo(14, 5.5);
        flag.lineTo(4.5, 9);
        flag.closeSubpath();
        g.setPen(QPen(QColor(130, 0, 0), 1));
        g.setBrush(QColor(220, 30, 30));
        g.drawPath(flag);
        return p;
    }();
    return marker;
}

namespace {

// Remembers which sensor was under the pointer at each press. A double click's second press may
// find another sensor there when the rows were re-sorted since the first: the first one's sensor
// is selected again and opened. Dragging with the button held selects nothing, since rows may
// move under a pointer that does not.
class TPointerPress : public QObject {
public:
    TPointerPress(QTreeView* view, TSensorListModel* model)
        : QObject(view), view_(view), model_(model) {
        view->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        (void)watched;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            first_ = pressed_;
            pressed_ = SensorAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            return false;
        case QEvent::MouseMove:
            return static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton;
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
                return false;
            OpenFirst();
            swallowRelease_ = true;
            return true;
        case QEvent::MouseButtonRelease:
            if (swallowRelease_) {
                swallowRelease_ = false;
                return true;
            }
            return Redirect(static_cast<QMouseEvent*>(event));
        default:
            return false;
        }
    }

private:
    uint16_t SensorAt(const QPoint& at) const {
        const QModelIndex index = view_->indexAt(at);
        return index.isValid() ? model_->SensorRowAt(index.row()) : NoRow;
    }
    // A release that finds another sensor under the pointer than its press did lands on the
    // pressed sensor's row instead, where the toolkit completes the click (and a selection it
    // may have put off until the release).
    bool Redirect(QMouseEvent* event) {
        const QPoint at = event->position().toPoint();
        const int row = model_->ModelRowOf(pressed_);
        if (redirecting_ || pressed_ == NoRow || SensorAt(at) == pressed_ || row < 0)
            return false;
        const QRect cell = view_->visualRect(model_->index(row, view_->columnAt(at.x())));
        if (!view_->viewport()->rect().contains(cell.center()))
            return true;
        QMouseEvent moved(event->type(), QPointF(cell.center()),
                          view_->viewport()->mapToGlobal(QPointF(cell.center())), event->button(),
                          event->buttons(), event->modifiers());
        redirecting_ = true;
        QCoreApplication::sendEvent(view_->viewport(), &moved);
        redirecting_ = false;
        return true;
    }
    void OpenFirst() {
        const uint16_t sensor = first_ != NoRow ? first_ : pressed_;
        const int row = model_->ModelRowOf(sensor);
        if (row < 0)
            return;
        view_->selectionModel()->setCurrentIndex(
            model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        emit model_->HistoryRequested(sensor);
    }

    QTreeView* view_;
    TSensorListModel* model_;
    uint16_t pressed_ = NoRow;
    uint16_t first_ = NoRow;
    bool swallowRelease_ = false;
    bool redirecting_ = false;
};

} // namespace

uint16_t SelectedSensor(const QTreeView* view, const TSensorListModel* model) {
    const QItemSelectionModel* sel = view->selectionModel();
    if (!sel)
        return NoRow;
    const QModelIndexList rows = sel->selectedRows();
    return rows.isEmpty() ? NoRow : model->SensorRowAt(rows.first().row());
}

void AttachSensorList(QTreeView* view, TSensorListModel* model) {
    view->setModel(model);
    // An item view lays all its items out anew, a turn later, whenever its model's header data
    // change: the list its rows, and the header (an item view of the same model) its sections,
    // which it then does while painting and so paints itself twice. The Count caption changes
    // with nearly every frame, and neither layout depends on a caption; the header hears of the
    // captions through its own slot only, which repaints the caption that changed.
    const char* headerChanged = SIGNAL(headerDataChanged(Qt::Orientation, int, int));
    QObject::disconnect(model, headerChanged, view, nullptr);
    QObject::disconnect(model, headerChanged, view->header(), nullptr);
    QObject::connect(model, &QAbstractItemModel::headerDataChanged, view->header(),
                     &QHeaderView::headerDataChanged);
    PreferUnshapedText(view);
    // Sorted by age, every frame moves the rows in view; their cells and the scroll bars are
    // copied from what was painted before rather than styled anew.
    view->setItemDelegate(new TCachedCellDelegate(view));
    view->setVerticalScrollBar(new TCachedScrollBar(Qt::Vertical));
    view->setHorizontalScrollBar(new TCachedScrollBar(Qt::Horizontal));
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setIconSize(QSize(16, 16));
    QHeaderView* header = view->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    // The model sorts; the header only shows by which column and which way.
    header->setSortIndicatorShown(true);
    const auto indicate = [header, model] {
        const TSortState& sort = model->SortState();
        header->setSortIndicator(sort.SortColumn,
                                 sort.Ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    };
    indicate();
    FitSensorColumns(view, model);
    QObject::connect(header, &QHeaderView::sectionClicked, model, &TSensorListModel::ColumnClick);
    QObject::connect(model, &TSensorListModel::SortChanged, header, indicate);

    // Re-sorts move the selected row without changing which sensor is selected; only a change of
    // sensor counts as a new selection.
    auto last = std::make_shared<uint16_t>(NoRow);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, model,
                     [view, model, last] {
                         const uint16_t now = SelectedSensor(view, model);
                         if (now == *last)
                             return;
                         *last = now;
                         if (now != NoRow)
                             emit model->SensorSelected(now);
                     });
    QObject::connect(model, &QAbstractItemModel::modelReset, view, [last] { *last = NoRow; });
    new TPointerPress(view, model);
}

namespace {

int CaptionWidth(const QHeaderView* header, const QString& caption) {
    QStyleOptionHeader option;
    option.initFrom(header);
    option.text = caption;
    option.fontMetrics = header->fontMetrics();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, &option, header);
    return std::max(header->style()
                        ->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header)
                        .width(),
                    header->fontMetrics().horizontalAdvance(caption) + 2 * margin);
}

// The width a cell needs to show text whole: what the view's style lays out for it (margins, the
// image and its spacing), with the text at its exact, unrounded width, which at a fractional
// scale can be a pixel more than the whole pixels the style counts.
int CellWidth(const QTreeView* view, const QString& text, bool icon) {
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.font = view->font();
    option.fontMetrics = view->fontMetrics();
    option.text = text;
    option.features = QStyleOptionViewItem::HasDisplay;
    if (icon) {
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.decorationSize = view->iconSize();
    }
    const QSize laid =
        view->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), view);
    const int exact = int(std::ceil(QFontMetricsF(view->font()).horizontalAdvance(text)));
    const int rounded = view->fontMetrics().horizontalAdvance(text);
    // A few pixels more keep the toolkit from eliding a text that just fits.
    return laid.width() + std::max(0, exact - rounded) + 4;
}

} // namespace

int FitSensorColumns(QTreeView* view, const TSensorListModel* model) {
    int total = 0;
    for (int c = 0; c < model->columnCount(); ++c) {
        int width = std::max(TSensorListModel::ColumnWidth(c),
                             CaptionWidth(view->header(), TSensorListModel::WidestCaption(c)));
        // The Sensor column carries the marker image, the Age column the alert mark.
        const bool icon = c == 0 || c == AgeColumn;
        for (const QString& cell : TSensorListModel::WidestCells(c))
            width = std::max(width, CellWidth(view, cell, icon));
        view->setColumnWidth(c, width);
        // The list is given room up to Age; the health columns after it are a sideways scroll
        // away at the first start's size, and in view once the window is widened.
        if (c <= AgeColumn)
            total += width;
    }
    const int scrollBar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    return total + scrollBar + 2 * view->frameWidth();
}

} // namespace corvane
