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

// An amber warning triangle with a dark edge and mark: it shows on light and dark rows alike.
// Hollow: a broad amber edge around a clear middle, the dark mark kept.
QPixmap LateMark(bool hollow) {
    QPixmap p = ClearMark();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    QPainterPath tri;
    tri.moveTo(8, 1.5);
    tri.lineTo(15, 14.5);
    tri.lineTo(1, 14.5);
    tri.closeSubpath();
    if (hollow) {
        g.setPen(QPen(QColor(255, 180, 0), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        g.setBrush(Qt::NoBrush);
        g.drawPath(tri);
        g.setPen(QPen(QColor(90, 55, 0), 0.8));
    } else {
        g.setPen(QPen(QColor(90, 55, 0), 1.2));
        g.setBrush(QColor(255, 180, 0));
    }
    g.drawPath(tri);
    g.setPen(QPen(QColor(40, 25, 0), 1.8));
    g.drawLine(QPointF(8, 5.5), QPointF(8, 10));
    g.drawPoint(QPointF(8, 12.3));
    return p;
}

// A filled red square with a white cross; hollow, a broad red edge with a red cross.
QPixmap SilentMark(bool hollow) {
    QPixmap p = ClearMark();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    if (hollow) {
        g.setPen(QPen(QColor(215, 25, 25), 2.4));
        g.setBrush(Qt::NoBrush);
        g.drawRect(QRectF(2, 2, 12, 12));
        g.setPen(QPen(QColor(110, 0, 0), 1.8));
    } else {
        g.setPen(QPen(QColor(110, 0, 0), 1.2));
        g.setBrush(QColor(215, 25, 25));
        g.drawRect(QRectF(1.5, 1.5, 13, 13));
        g.setPen(QPen(Qt::white, 2.0));
    }
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
