#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStandardItemModel>
#include <QTreeView>

#include <gtest/gtest.h>

#include "util/qt/PaintCache.h"

using namespace corvane;

namespace {

QPixmap Filled(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::gray);
    return p;
}

QByteArray Key(char c) {
    return QByteArray(1, c);
}

TEST(PixmapLru, KeepsWhatWasUsedLastWithinItsBudget) {
    TPixmapLru lru(3 * 10 * 10 * 4); // three 10x10 pictures
    lru.Put(Key('a'), Filled(10, 10));
    lru.Put(Key('b'), Filled(10, 10));
    lru.Put(Key('c'), Filled(10, 10));
    ASSERT_NE(lru.Find(Key('a')), nullptr); // now the latest used: b goes first
    lru.Put(Key('d'), Filled(10, 10));
    EXPECT_EQ(lru.Find(Key('b')), nullptr);
    EXPECT_NE(lru.Find(Key('a')), nullptr);
    EXPECT_NE(lru.Find(Key('c')), nullptr);
    EXPECT_NE(lru.Find(Key('d')), nullptr);
    EXPECT_EQ(lru.Bytes(), 3 * 400);

    // A key put again replaces its picture and counts its bytes once.
    lru.Put(Key('d'), Filled(5, 10));
    EXPECT_EQ(lru.Count(), 3u);
    EXPECT_EQ(lru.Bytes(), 2 * 400 + 200);
    EXPECT_EQ(lru.Find(Key('d'))->width(), 5);

    // A picture larger than the whole budget is kept alone, as it is about to be drawn.
    lru.Put(Key('e'), Filled(40, 40));
    EXPECT_EQ(lru.Count(), 1u);
    EXPECT_NE(lru.Find(Key('e')), nullptr);

    lru.SetBudget(0);
    EXPECT_EQ(lru.Count(), 1u);
    lru.Clear();
    EXPECT_EQ(lru.Count(), 0u);
    EXPECT_EQ(lru.Bytes(), 0);
}

// A list with what the sensor list shows: texts that fit and that must be elided, each
// alignment, tones, a mark beside some texts, and a selected and a current row.
class CachedCells : public ::testing::Test {
protected:
    void SetUp() override {
        model.setColumnCount(4);
        QPixmap mark(16, 16);
        mark.fill(Qt::transparent);
        {
            QPainter g(&mark);
            g.setRenderHint(QPainter::Antialiasing);
            g.setBrush(Qt::red);
            g.drawEllipse(2, 2, 11, 11);
        }
        for (int r = 0; r < 30; ++r) {
            QList<QStandardItem*> row;
            row << new QStandardItem(
                QStringLiteral("Sensor %1 with a label too long to fit").arg(r));
            row << new QStandardItem(QString::number(r * 137));
            row << new QStandardItem(QStringLiteral("%1.%2").arg(r).arg(r % 7));
            row << new QStandardItem(r % 5 ? QStringLiteral("%1s").arg(r) : QString());
            row[1]->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            row[2]->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
            if (r % 3 == 0)
                row[3]->setData(mark, Qt::DecorationRole);
            if (r % 4 == 1) {
                row[3]->setForeground(QColor(160, 0, 0));
                row[3]->setBackground(QColor(255, 230, 230));
            }
            if (r % 6 == 2)
                row[2]->setFont(QFont(view.font().family(), 11, QFont::Bold));
            model.appendRow(row);
        }
        view.setModel(&model);
        view.setRootIsDecorated(false);
        view.setUniformRowHeights(true);
        view.setAllColumnsShowFocus(true);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.header()->resizeSection(0, 120);
        view.resize(420, 400);
        view.selectionModel()->select(model.index(4, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view.selectionModel()->setCurrentIndex(model.index(7, 0), QItemSelectionModel::NoUpdate);
        view.show();
        reference = view.viewport()->grab().toImage();
        view.setItemDelegate(cached);
    }

    QStandardItemModel model;
    QTreeView view;
    TCachedCellDelegate* cached = new TCachedCellDelegate(&view);
    QImage reference;
};

TEST_F(CachedCells, PaintExactlyWhatTheStyleDoesWhenKeptAndWhenCopied) {
    const QImage first = view.viewport()->grab().toImage();
    EXPECT_GT(cached->Painted(), 0);
    const int painted = cached->Painted();
    const QImage second = view.viewport()->grab().toImage();
    EXPECT_GT(cached->Copied(), 0);
    // Only the selected row is styled anew each time.
    EXPECT_LE(cached->Painted() - painted, 4);
    EXPECT_EQ(first, reference);
    EXPECT_EQ(second, reference);
}

TEST_F(CachedCells, AChangedCellIsPaintedAnew) {
    view.viewport()->grab(); // everything kept
    model.item(10, 1)->setText(QStringLiteral("424242"));
    model.item(11, 3)->setData(QVariant(), Qt::DecorationRole);
    model.item(12, 3)->setForeground(QColor(0, 0, 160));
    const QImage changed = view.viewport()->grab().toImage();
    view.setItemDelegate(new QStyledItemDelegate(&view));
    EXPECT_EQ(changed, view.viewport()->grab().toImage());
}

TEST_F(CachedCells, MovedRowsShowTheirOwnCells) {
    view.viewport()->grab();
    model.sort(1, Qt::DescendingOrder);
    const QImage sorted = view.viewport()->grab().toImage();
    view.setItemDelegate(new QStyledItemDelegate(&view));
    EXPECT_EQ(sorted, view.viewport()->grab().toImage());
}

TEST(CachedScrollBar, PaintsAsAPlainScrollBarAtEveryValue) {
    QWidget window;
    QScrollBar plain(Qt::Vertical, &window);
    TCachedScrollBar cached(Qt::Vertical, &window);
    for (QScrollBar* bar : {&plain, static_cast<QScrollBar*>(&cached)}) {
        bar->setRange(0, 1900);
        bar->setPageStep(400);
        bar->resize(14, 417);
    }
    cached.move(20, 0);
    window.resize(40, 420);
    window.show();
    for (const int value : {0, 0, 700, 1900, 0}) {
        plain.setValue(value);
        cached.setValue(value);
        EXPECT_EQ(cached.grab().toImage(), plain.grab().toImage()) << value;
    }
    EXPECT_GT(cached.Copied(), 0);
    EXPECT_EQ(cached.Painted(), 3); // 0, 700 and 1900; the rest copied
}

} // namespace
