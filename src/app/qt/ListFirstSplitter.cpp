#include "app/qt/ListFirstSplitter.h"

#include <QHeaderView>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

namespace corvane {

TListFirstSplitter::TListFirstSplitter(std::function<int()> listNeed, std::function<int()> treeNeed,
                                       QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), listNeed_(std::move(listNeed)),
      treeNeed_(std::move(treeNeed)) {}

int TListFirstSplitter::ListWidthAfter(int list, int tree, int total, int listNeed, int treeNeed) {
    const int change = total - (list + tree);
    if (change > 0 && list < listNeed)
        list += std::min(change, listNeed - list);
    else if (change < 0)
        list -= std::max(0, -change - std::max(0, tree - treeNeed));
    return std::clamp(list, 0, std::max(0, total));
}

void TListFirstSplitter::resizeEvent(QResizeEvent* event) {
    const QList<int> before = sizes();
    QSplitter::resizeEvent(event);
    // The first layout of a window about to show has no size before it: it stays as set.
    if (!event->oldSize().isValid() || event->oldSize().width() <= 0 || before.size() != 2 ||
        count() != 2)
        return;
    const int total = std::max(0, width() - handleWidth());
    const int list = ListWidthAfter(before[0], before[1], total, listNeed_(), treeNeed_());
    setSizes({list, total - list});
}

int WidthShowingColumns(const QTreeView* view) {
    const QScrollBar* bar = view->verticalScrollBar();
    const int scrollBar =
        bar && bar->isVisible()
            ? view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view)
            : 0;
    return view->header()->length() + scrollBar + 2 * view->frameWidth();
}

} // namespace corvane
