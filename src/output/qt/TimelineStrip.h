// The strip above the history table: the sensor's reads over time, one mark per pixel column
// that holds reads (duplicates on a row of their own), long silences shaded, the times when no
// run was listening hatched, a time axis, and the span and count. Hovering names a read or the
// time not listened to; clicking a read selects its table row.
#pragma once

#include <QWidget>

#include "output/Timeline.h"

namespace corvane {

class TTimelineStrip : public QWidget {
    Q_OBJECT
public:
    explicit TTimelineStrip(QWidget* parent = nullptr);

    // The reads to show; the history stays the caller's and must outlive the strip's use of it.
    // Call again whenever it changed.
    void SetHistory(const THistory* history);
    // The history row drawn as chosen (the table's current row), -1 for none.
    void SetMarked(int32_t row);
    // A line shown instead of the span and count (why the reads could not be loaded); empty for
    // none.
    void SetNote(const QString& note);
    const QString& Note() const { return note_; }

    // The binning for the current width, made when it is out of date.
    const TTimeline& Bins();
    // The strip's column of the band's x and back (the band leaves a margin at both ends).
    int BandLeft() const { return Margin; }
    // The history row under a point of the strip, -1 when no read is near it.
    int32_t RowAt(QPoint pos);
    // The hover text for a history row: its time and route.
    QString ReadText(int32_t row) const;
    // The hover text for a strip column of time when no run was listening; empty elsewhere.
    QString NotListeningText(int x);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void ReadClicked(int row);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static constexpr int Margin = 6;
    static constexpr int Reach = 3; // columns either side that a pointer still hits
    int BandWidth() const { return width() > 2 * Margin ? width() - 2 * Margin : 0; }
    int LineHeight() const;
    QRect BandRect() const;
    // The span held and the count, made to fit room pixels.
    QString Caption(int room);
    void PaintBand(QPainter& p, const QRect& band);
    void PaintShading(QPainter& p, const QRect& band);
    void PaintAxis(QPainter& p, const QRect& band);

    const THistory* history_ = nullptr;
    TTimeline bins_;
    bool stale_ = true;
    int32_t marked_ = -1;
    QString note_;
};

} // namespace corvane
