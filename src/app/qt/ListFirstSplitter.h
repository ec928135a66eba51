// The splitter between the sensor list and the route tree. When the window grows, the list
// takes the new room first, until all its columns show without a sideways scroll bar; the tree
// then takes the rest. When the window shrinks, the tree gives room back first, down to what
// its lines need. Sizes set outright (the first start, a restored state, a dragged handle) stay
// as they are set.
#pragma once

#include <QSplitter>

#include <functional>

class QTreeView;

namespace corvane {

class TListFirstSplitter : public QSplitter {
    Q_OBJECT
public:
    // listNeed: the width that shows every column of the list; treeNeed: what the tree's lines
    // need.
    TListFirstSplitter(std::function<int()> listNeed, std::function<int()> treeNeed,
                       QWidget* parent = nullptr);

    // The list's new width when the two panes held list and tree and now hold total.
    static int ListWidthAfter(int list, int tree, int total, int listNeed, int treeNeed);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::function<int()> listNeed_;
    std::function<int()> treeNeed_;
};

// What a view needs to show its columns whole: their widths, its frame and a vertical scroll
// bar when it has one.
int WidthShowingColumns(const QTreeView* view);

} // namespace corvane
