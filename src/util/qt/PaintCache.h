// Painting kept as pixels. A busy list is repainted up to once a frame while most of what it
// shows stays as it was: its rows move, but a row's cells and the scroll bars beside it look the
// same as a frame ago. Laying out and styling a cell's text costs many times what copying its
// pixels does, so the cells and scroll bars are painted once by the style, kept, and copied.
// What is kept is keyed by everything the style paints from, so a kept picture is exactly what
// the style would paint; whatever the key cannot tell (a pointer over it, a selection, a
// patterned background) is painted by the style every time.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <list>
#include <utility>
#include <vector>

namespace corvane {

// Pictures by key, the least recently used going first once their bytes pass the budget.
class TPixmapLru {
public:
    explicit TPixmapLru(qint64 budgetBytes) : budget_(budgetBytes) {}
    // The picture kept under the key, now the most recently used; null when there is none.
    const QPixmap* Find(const QByteArray& key);
    const QPixmap& Put(const QByteArray& key, QPixmap pixmap);
    void SetBudget(qint64 budgetBytes);
    qint64 Bytes() const { return bytes_; }
    size_t Count() const { return order_.size(); }
    void Clear();

private:
    void Trim();

    using TEntry = std::pair<QByteArray, QPixmap>;
    qint64 budget_;
    qint64 bytes_ = 0;
    std::list<TEntry> order_; // most recently used first
    QHash<QByteArray, std::list<TEntry>::iterator> byKey_;
};

// Paints an item view's cells as the styled delegate does, keeping each cell's pixels while
// what it shows and how stay the same. It keeps about three views' worth of cells.
class TCachedCellDelegate : public QStyledItemDelegate {
public:
    explicit TCachedCellDelegate(QAbstractItemView* view);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // For tests and benchmarks: how many cells the style painted, and how many were copied.
    int Painted() const { return painted_; }
    int Copied() const { return copied_; }

private:
    bool Key(const QStyleOptionViewItem& opt, const QModelIndex& index, qreal ratio,
             QByteArray& key) const;
    int FontNumber(const QFont& font) const;

    QAbstractItemView* view_;
    mutable TPixmapLru kept_;
    mutable std::vector<QFont> fonts_;
    mutable int painted_ = 0;
    mutable int copied_ = 0;
};

// A scroll bar that keeps its last few pictures: a list laid out again after every re-sort asks
// its scroll bars to repaint though they have not changed.
class TCachedScrollBar : public QScrollBar {
public:
    explicit TCachedScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);
    int Painted() const { return painted_; }
    int Copied() const { return copied_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TPixmapLru kept_;
    int painted_ = 0;
    int copied_ = 0;
};

} // namespace corvane
