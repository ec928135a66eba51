// How a late or silent sensor, repeater or entry point looks in the views: an amber or red row
// tone and a small mark whose shape alone tells the states apart (a triangle for late, a square
// with a cross for silent), so that colour-blind users read them as well. A record behind a
// late or silent repeater or entry point keeps its tone and has its mark hollow: its state is
// what the other one's failure leaves of it. Tones follow the application palette, light or
// dark.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QVariant>

#include "store/Alerts.h"

namespace corvane {

// A clear 16 by 16 picture at the screen's pixel density, for a mark to be drawn on.
QPixmap ClearMark();
// The background tone of a late or silent row on the current palette; invalid when reporting.
QColor AlertTone(TAlertState state);
// The 16 by 16 mark of a late or silent row, hollow for one behind something; a null pixmap
// when reporting.
const QPixmap& AlertMark(TAlertState state, bool behind = false);
// What a view's data() answers for the state on the background and foreground roles (with the
// palette's text colour kept readable on the tone); invalid for other roles or reporting.
QVariant AlertRoleData(TAlertState state, int role);

} // namespace corvane
