#include "output/qt/TimelineStrip.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>

namespace corvane {

namespace {

constexpr int CountedRow = 14; // height of the row of counted reads
constexpr int DupRow = 8;      // and of the duplicates' row beneath it
constexpr int TickLength = 3;

QString Latin1(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QString Minutes(TDateTime t) {
    char text[16];
    return QString::fromLatin1(text, static_cast<qsizetype>(FormatMinutes(t, text)));
}

// "45 s", "12 min", "2 h 20 min", "3 d 4 h": the length of the span held.
QString Duration(int64_t ms) {
    const int64_t s = ms / 1000;
    if (s < 60)
        return QString("%1 s").arg(s);
    if (s < 3600)
        return QString("%1 min").arg(s / 60);
    if (s < 86400)
        return QString("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60);
    return QString("%1 d %2 h").arg(s / 86400).arg(s / 3600 % 24);
}

bool DarkBase(const QPalette& p) {
    return p.color(QPalette::Base).lightness() < 128;
}

// Counted reads in blue, duplicates in a warm colour: apart at a glance on either scheme.
QColor CountedColour(const QPalette& p) {
    return DarkBase(p) ? QColor(110, 170, 240) : QColor(35, 100, 190);
}
QColor DupColour(const QPalette& p) {
    return DarkBase(p) ? QColor(240, 140, 70) : QColor(214, 90, 20);
}

} // namespace

TTimelineStrip::TTimelineStrip(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TTimelineStrip::SetHistory(const THistory* history) {
    history_ = history;
    stale_ = true;
    marked_ = -1;
    update();
}

void TTimelineStrip::SetNote(const QString& note) {
    note_ = note;
    update();
}

void TTimelineStrip::SetMarked(int32_t row) {
    if (row == marked_)
        return;
    marked_ = row;
    update();
}

const TTimeline& TTimelineStrip::Bins() {
    if (stale_ || bins_.Width() != BandWidth()) {
        static const THistory none;
        BinTimeline(history_ != nullptr ? *history_ : none, BandWidth(), bins_);
        stale_ = false;
    }
    return bins_;
}

int32_t TTimelineStrip::RowAt(QPoint pos) {
    if (history_ == nullptr || pos.y() < 0 || pos.y() >= height())
        return -1;
    return Bins().ReadAt(pos.x() - Margin, Reach);
}

QString TTimelineStrip::ReadText(int32_t row) const {
    if (history_ == nullptr || row < 0 || row >= static_cast<int32_t>(history_->Rows.size()))
        return {};
    const THistRead& r = history_->Rows[row];
    char at[32];
    QString text =
        QString::fromLatin1(at, static_cast<qsizetype>(FormatDateTimeShort(r.Shown, at)));
    if (r.Dup)
        text += " (duplicate)";
    text += '\n';
    text += r.Repeater != '\0' ? "Repeater " + QString(QLatin1Char(r.Repeater)) : "No repeater";
    const std::string_view entry = history_->EntryName(r);
    text += history_->HasEntry(r) ? ", entry " + Latin1(entry) : QString(", no entry point");
    return text;
}

QString TTimelineStrip::NotListeningText(int x) {
    const TTimeline& t = Bins();
    if (history_ == nullptr)
        return {};
    for (const TTimeSpan& quiet : history_->NotListening) {
        TGapSpan columns;
        if (!t.ColumnsOf(quiet, columns) || x - Margin < columns.From || x - Margin > columns.To)
            continue;
        const TDateTime from = std::max(quiet.From, t.From) + t.LocalOffset;
        const TDateTime to = std::min(quiet.To, t.To) + t.LocalOffset;
        return "No run was listening\n" + Minutes(from) + " to " + Minutes(to) + " (" +
               Duration(static_cast<int64_t>((to - from) * 86400000.0)) + ")";
    }
    return {};
}

int TTimelineStrip::LineHeight() const {
    return fontMetrics().height();
}

QSize TTimelineStrip::sizeHint() const {
    return QSize(384, 2 * LineHeight() + CountedRow + DupRow + TickLength + 10);
}

QSize TTimelineStrip::minimumSizeHint() const {
    return QSize(4 * Margin, sizeHint().height());
}

QRect TTimelineStrip::BandRect() const {
    return QRect(Margin, LineHeight() + 3, BandWidth(), CountedRow + DupRow + 3);
}

QString TTimelineStrip::Caption(int room) {
    const TTimeline& t = Bins();
    if (!note_.isEmpty())
        return fontMetrics().elidedText(note_, Qt::ElideRight, room);
    if (history_ == nullptr || (history_->Rows.empty() && !history_->FixedSpan))
        return "No reads held";
    QString last = Minutes(t.LastShown);
    const QString first = Minutes(t.FirstShown);
    if (last.left(5) == first.left(5))
        last = last.mid(6); // the same day: the end's time alone
    QString text = first + " to " + last + " (" + Duration(t.Widened ? 0 : t.SpanMs) +
                   "): " + QString::number(t.Counted + t.Dups) + " reads";
    if (t.Dups > 0)
        text += ", " + QString::number(t.Dups) + " duplicates";
    // The long gaps' count goes first when the strip is narrow: the shading shows them.
    const QString gaps =
        t.LongGaps == 1 ? ", 1 long gap" : ", " + QString::number(t.LongGaps) + " long gaps";
    if (t.LongGaps > 0 && fontMetrics().horizontalAdvance(text + gaps) <= room)
        text += gaps;
    const QString quiet = ", not listening " + Duration(t.NotListeningMs);
    if (t.NotListeningMs >= 1000 && fontMetrics().horizontalAdvance(text + quiet) <= room)
        text += quiet;
    return fontMetrics().elidedText(text, Qt::ElideRight, room);
}

void TTimelineStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QRect band = BandRect();
    p.setPen(palette().color(QPalette::WindowText));
    const QRect caption(Margin, 1, width() - 2 * Margin, LineHeight());
    p.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter, Caption(caption.width()));
    PaintBand(p, band);
    PaintAxis(p, band);
}

void TTimelineStrip::PaintBand(QPainter& p, const QRect& band) {
    const TTimeline& t = Bins();
    p.fillRect(band, palette().base());
    PaintShading(p, band);

    const QColor counted = CountedColour(palette());
    const QColor dups = DupColour(palette());
    const int countedBase = band.top() + 1 + CountedRow;
    const int dupTop = countedBase + 1;
    for (int x = 0; x < t.Width(); ++x) {
        const TTimelineColumn& c = t.Columns[x];
        if (c.Counted > 0)
            p.fillRect(band.left() + x, countedBase - CountedRow, 1, CountedRow, counted);
        if (c.Dups > 0)
            p.fillRect(band.left() + x, dupTop, 1, DupRow, dups);
    }
    if (history_ != nullptr && marked_ >= 0 &&
        marked_ < static_cast<int32_t>(history_->Rows.size())) {
        const int x = band.left() + t.ColumnOf(history_->Rows[marked_].Time);
        // The table's current read, in the text colour so that it stands out from every mark.
        p.fillRect(x - 1, band.top() - 2, 2, band.height() + 4,
                   palette().color(QPalette::WindowText));
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(band.adjusted(0, 0, -1, -1));
}

void TTimelineStrip::PaintShading(QPainter& p, const QRect& band) {
    const TTimeline& t = Bins();
    // Long silences: a grey over the band, lighter than it on a dark scheme, darker on a light.
    QColor shade = DarkBase(palette()) ? QColor(255, 255, 255, 48) : palette().color(QPalette::Mid);
    if (!DarkBase(palette()))
        shade.setAlpha(110);
    for (const TGapSpan& g : t.Gaps)
        p.fillRect(band.left() + g.From, band.top(), g.To - g.From + 1, band.height(), shade);
    // No run listening: hatched on the window's colour, so that it never reads as a silence.
    const QBrush hatch(palette().color(QPalette::Mid), Qt::BDiagPattern);
    for (const TGapSpan& g : t.NotListening) {
        const QRect r(band.left() + g.From, band.top(), g.To - g.From + 1, band.height());
        p.fillRect(r, palette().window());
        p.fillRect(r, hatch);
    }
}

void TTimelineStrip::PaintAxis(QPainter& p, const QRect& band) {
    const TTimeline& t = Bins();
    if (history_ == nullptr || t.SpanMs <= 0)
        return;
    const QFontMetrics fm = fontMetrics();
    const int labelWidth = fm.horizontalAdvance("00/00 00:00");
    const int gap = fm.horizontalAdvance("  ");
    p.setPen(palette().color(QPalette::WindowText));
    const int top = band.bottom() + 1;
    int lastRight = -gap;
    for (const TAxisTick& tick : AxisTicks(t, labelWidth + 2 * gap)) {
        const int x = band.left() + tick.X;
        p.drawLine(x, top, x, top + TickLength - 1);
        // Labels are centred on their tick, held inside the strip, and never overlap.
        const int left = std::clamp(x - labelWidth / 2, 0, width() - labelWidth);
        if (left < lastRight + gap)
            continue;
        p.drawText(QRect(left, top + TickLength, labelWidth, fm.height()), Qt::AlignCenter,
                   QString::fromLatin1(tick.Text));
        lastRight = left + labelWidth;
    }
}

bool TTimelineStrip::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int32_t row = RowAt(help->pos());
        QString text = row >= 0 ? ReadText(row) : NotListeningText(help->pos().x());
        if (text.isEmpty()) {
            QToolTip::hideText();
            e->ignore();
            return true;
        }
        // Entry names come from the receiver: shown as they are, never as markup.
        if (Qt::mightBeRichText(text))
            text = Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
        const QRect band = BandRect();
        QToolTip::showText(help->globalPos(), text, this,
                           QRect(help->pos().x() - 1, band.top(), 3, band.height()));
        return true;
    }
    return QWidget::event(e);
}

void TTimelineStrip::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    const int32_t row = RowAt(e->position().toPoint());
    if (row >= 0)
        emit ReadClicked(row);
}

void TTimelineStrip::resizeEvent(QResizeEvent* e) {
    stale_ = true;
    QWidget::resizeEvent(e);
}

} // namespace corvane
