#include "util/qt/PaintCache.h"

#include <QAbstractItemView>
#include <QIcon>
#include <QPainter>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvane {

namespace {

qint64 BytesOf(const QPixmap& p) {
    return qint64(p.width()) * p.height() * std::max(1, p.depth() / 8);
}

// Keys are the raw bytes of what a picture is painted from, one field after another.
template <typename T>
void Add(QByteArray& key, const T& value) {
    key.append(reinterpret_cast<const char*>(&value), sizeof value);
}
void Add(QByteArray& key, const QString& text) {
    Add(key, text.size());
    key.append(reinterpret_cast<const char*>(text.constData()), text.size() * sizeof(QChar));
}

// A picture can be copied only where it lands on whole device pixels, as it was painted.
bool PlainTransform(const QPainter* painter) {
    const QTransform& t = painter->deviceTransform();
    return t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) &&
           t.dy() == std::floor(t.dy());
}

quint64 DecorationKey(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QPixmap:
        return value.value<QPixmap>().cacheKey();
    case QMetaType::QIcon:
        return value.value<QIcon>().cacheKey();
    case QMetaType::QImage:
        return value.value<QImage>().cacheKey();
    case QMetaType::QColor:
        return value.value<QColor>().rgba64();
    default:
        return value.isValid() ? ~quint64{0} : 0;
    }
}

constexpr qint64 kMinCellBudget = 2 << 20;

} // namespace

const QPixmap* TPixmapLru::Find(const QByteArray& key) {
    const auto at = byKey_.constFind(key);
    if (at == byKey_.constEnd())
        return nullptr;
    order_.splice(order_.begin(), order_, *at);
    return &order_.front().second;
}

const QPixmap& TPixmapLru::Put(const QByteArray& key, QPixmap pixmap) {
    if (const auto at = byKey_.find(key); at != byKey_.end()) {
        bytes_ -= BytesOf((*at)->second);
        order_.erase(*at);
        byKey_.erase(at);
    }
    bytes_ += BytesOf(pixmap);
    order_.emplace_front(key, std::move(pixmap));
    byKey_.insert(key, order_.begin());
    Trim();
    return order_.front().second;
}

void TPixmapLru::SetBudget(qint64 budgetBytes) {
    budget_ = budgetBytes;
    Trim();
}

void TPixmapLru::Clear() {
    order_.clear();
    byKey_.clear();
    bytes_ = 0;
}

// The newest picture stays even when it alone passes the budget: it is about to be drawn.
void TPixmapLru::Trim() {
    while (bytes_ > budget_ && order_.size() > 1) {
        bytes_ -= BytesOf(order_.back().second);
        byKey_.remove(order_.back().first);
        order_.pop_back();
    }
}

TCachedCellDelegate::TCachedCellDelegate(QAbstractItemView* view)
    : QStyledItemDelegate(view), view_(view), kept_(kMinCellBudget) {}

// False where the cell must be painted by the style: something under or over it that its key
// cannot tell, such as a selection, a pointer over it, focus or a patterned background.
bool TCachedCellDelegate::Key(const QStyleOptionViewItem& opt, const QModelIndex& index,
                              qreal ratio, QByteArray& key) const {
    constexpr QStyle::State kUncacheable = QStyle::State_Selected | QStyle::State_MouseOver |
                                           QStyle::State_HasFocus | QStyle::State_Editing;
    const QWidget* viewport = view_->viewport();
    const QBrush& base = viewport->palette().brush(viewport->backgroundRole());
    if ((opt.state & kUncacheable) || (opt.features & QStyleOptionViewItem::Alternate) ||
        base.style() != Qt::SolidPattern ||
        (opt.backgroundBrush.style() != Qt::NoBrush &&
         opt.backgroundBrush.style() != Qt::SolidPattern) ||
        !viewport->autoFillBackground())
        return false;
    key.reserve(160 + opt.text.size() * 2);
    Add(key, ratio);
    Add(key, opt.rect.size());
    Add(key, opt.text);
    const int font = FontNumber(opt.font);
    if (font < 0)
        return false;
    Add(key, font);
    Add(key, static_cast<const void*>(view_->style()));
    Add(key, int(opt.state));
    Add(key, int(opt.features));
    Add(key, int(opt.displayAlignment));
    Add(key, int(opt.decorationAlignment));
    Add(key, int(opt.decorationPosition));
    Add(key, opt.decorationSize);
    Add(key, int(opt.textElideMode));
    Add(key, int(opt.checkState));
    Add(key, int(opt.direction));
    Add(key, int(opt.backgroundBrush.style()));
    Add(key, opt.backgroundBrush.color().rgba64());
    Add(key, base.color().rgba64());
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        Add(key, opt.palette.color(group, QPalette::Text).rgba64());
    Add(key, (opt.features & QStyleOptionViewItem::HasDecoration)
                 ? DecorationKey(index.data(Qt::DecorationRole))
                 : quint64{0});
    return true;
}

// Cells are painted in a few fonts; comparing with those is far cheaper than spelling out a
// font's key for every cell.
int TCachedCellDelegate::FontNumber(const QFont& font) const {
    constexpr size_t kMaxFonts = 16;
    for (size_t k = 0; k < fonts_.size(); ++k)
        if (fonts_[k] == font && fonts_[k].resolveMask() == font.resolveMask())
            return static_cast<int>(k);
    if (fonts_.size() == kMaxFonts)
        return -1;
    fonts_.push_back(font);
    return static_cast<int>(fonts_.size() - 1);
}

void TCachedCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const qreal ratio = painter->device()->devicePixelRatio();
    QByteArray key;
    if (opt.rect.isEmpty() || !PlainTransform(painter) || !Key(opt, index, ratio, key)) {
        ++painted_;
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QPixmap* kept = kept_.Find(key);
    if (!kept) {
        ++painted_;
        // The cell as the view would paint it: on the viewport's background, clipped to itself.
        QPixmap pixmap(opt.rect.size() * ratio);
        pixmap.setDevicePixelRatio(ratio);
        const QWidget* viewport = view_->viewport();
        pixmap.fill(viewport->palette().brush(viewport->backgroundRole()).color());
        QPainter cell(&pixmap);
        cell.setFont(painter->font());
        cell.setPen(painter->pen());
        cell.setBrush(painter->brush());
        cell.setRenderHints(painter->renderHints());
        cell.setLayoutDirection(painter->layoutDirection());
        QStyleOptionViewItem at = option;
        at.rect.moveTo(0, 0);
        QStyledItemDelegate::paint(&cell, at, index);
        cell.end();
        const QSize shown = viewport->size() * ratio;
        kept_.SetBudget(std::max(kMinCellBudget, 3 * qint64(shown.width()) * shown.height() * 4));
        kept = &kept_.Put(key, std::move(pixmap));
    } else {
        ++copied_;
    }
    painter->drawPixmap(opt.rect.topLeft(), *kept);
}

TCachedScrollBar::TCachedScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent), kept_(0) {}

void TCachedScrollBar::paintEvent(QPaintEvent* event) {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    // A pointer over it or a press lights sub-controls that only the toolkit knows of; bars that
    // fade in and out change without their values changing. Those are styled every time.
    if (underMouse() || isSliderDown() ||
        style()->styleHint(QStyle::SH_ScrollBar_Transient, &opt, this)) {
        ++painted_;
        QScrollBar::paintEvent(event);
        return;
    }
    const qreal ratio = devicePixelRatio();
    QByteArray key;
    Add(key, ratio);
    Add(key, opt.rect.size());
    Add(key, static_cast<const void*>(style()));
    Add(key, palette().cacheKey());
    for (const int v : {opt.minimum, opt.maximum, opt.sliderPosition, opt.sliderValue, opt.pageStep,
                        opt.singleStep, int(opt.orientation), int(opt.upsideDown), int(opt.state),
                        int(opt.direction)})
        Add(key, v);
    const QPixmap* kept = kept_.Find(key);
    if (!kept) {
        ++painted_;
        // As the scroll bar paints itself with nothing pressed or under the pointer.
        QPixmap pixmap(size() * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter bar(&pixmap);
        opt.subControls = QStyle::SC_All;
        opt.activeSubControls = QStyle::SC_None;
        style()->drawComplexControl(QStyle::CC_ScrollBar, &opt, &bar, this);
        bar.end();
        // A few pictures: the bar as it is and as it was a step or two ago.
        kept_.SetBudget(4 * qint64(pixmap.width()) * pixmap.height() * 4);
        kept = &kept_.Put(key, std::move(pixmap));
    } else {
        ++copied_;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, *kept);
}

} // namespace corvane
