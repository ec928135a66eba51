// Views that show plain 8-bit text and are redrawn up to once a frame. Latin text needs no
// shaping; without it (and so without kerning) a cell's text is laid out at a fraction of the
// cost, which is most of what repainting a busy list costs.
#pragma once

#include <QFont>
#include <QWidget>

namespace corvane {

// Only the strategy is set: the widget keeps following its parent's and the program's font.
inline void PreferUnshapedText(QWidget* widget) {
    QFont font;
    font.setStyleStrategy(QFont::PreferNoShaping);
    widget->setFont(font);
}

} // namespace corvane
