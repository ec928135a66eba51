#include "app/qt/AlertLook.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include "app/qt/ColourScheme.h"

namespace corvane {

namespace {

bool DarkNow() {
    return qGuiApp && IsDark(QGuiApplication::palette());
}

// The clear middle of a hollow mark: white, so that it stands out from the row's own tone (the
// tones are near the marks' colours), on light and dark rows alike.
const QColor kHollowMiddle(255, 255, 255);

// An amber warning triangle with a dark edge and mark: it shows on light and dark rows alike.
// Hollow: a broad amber edge around a white middle, the dark mark kept.
QPixmap LateMark(bool hollow) {
    QPixmap p = ClearMark();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    QPainterPath tri;
    tri.moveTo(8, 1.5);
    tri.lineTo(15, 14.5);
    tri.lineTo(1, 14.5);
    tri.closeSubpath();
    g.setPen(QPen(QColor(90, 55, 0), 1.2));
    g.setBrush(hollow ? kHollowMiddle : QColor(255, 180, 0));
    g.drawPath(tri);
    if (hollow) {
        g.setPen(QPen(QColor(235, 150, 0), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        g.setBrush(Qt::NoBrush);
        g.drawPath(tri);
    }
    g.setPen(QPen(QColor(40, 25, 0), 1.8));
    g.drawLine(QPointF(8, 5.5), QPointF(8, 10));
    g.drawPoint(QPointF(8, 12.3));
    return p;
}

// A filled red square with a white cross; hollow, a broad red edge around a white middle with a
// red cross.
QPixmap SilentMark(bool hollow) {
    QPixmap p = ClearMark();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(110, 0, 0), 1.2));
    g.setBrush(hollow ? kHollowMiddle : QColor(215, 25, 25));
    g.drawRect(QRectF(1.5, 1.5, 13, 13));
    if (hollow) {
        g.setPen(QPen(QColor(215, 25, 25), 1.8));
        g.setBrush(Qt::NoBrush);
        g.drawRect(QRectF(2.5, 2.5, 11, 11));
    }
    g.setPen(QPen(hollow ? QColor(215, 25, 25) : QColor(Qt::white), 2.0));
    g.drawLine(QPointF(5, 5), QPointF(11, 11));
    g.drawLine(QPointF(11, 5), QPointF(5, 11));
    return p;
}

} // namespace

QPixmap ClearMark() {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap p(QSize(16, 16) * ratio);
    p.setDevicePixelRatio(ratio);
    p.fill(Qt::transparent);
    return p;
}

QColor AlertTone(TAlertState state) {
    const bool dark = DarkNow();
    switch (state) {
    case TAlertState::Late:
        return dark ? QColor(110, 75, 0) : QColor(255, 222, 140);
    case TAlertState::Silent:
        return dark ? QColor(125, 28, 28) : QColor(255, 185, 185);
    default:
        return {};
    }
}

const QPixmap& AlertMark(TAlertState state, bool behind) {
    static const QPixmap none;
    static const QPixmap late = LateMark(false);
    static const QPixmap silent = SilentMark(false);
    static const QPixmap lateBehind = LateMark(true);
    static const QPixmap silentBehind = SilentMark(true);
    switch (state) {
    case TAlertState::Late:
        return behind ? lateBehind : late;
    case TAlertState::Silent:
        return behind ? silentBehind : silent;
    default:
        return none;
    }
}

QVariant AlertRoleData(TAlertState state, int role) {
    if (state == TAlertState::Reporting)
        return {};
    if (role == Qt::BackgroundRole)
        return AlertTone(state);
    // The tones are light on a light palette and dark on a dark one; the text keeps the
    // palette's own contrast against them.
    if (role == Qt::ForegroundRole)
        return DarkNow() ? QColor(255, 255, 255) : QColor(0, 0, 0);
    return {};
}

} // namespace corvane
