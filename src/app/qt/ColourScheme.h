// The window follows the desktop's light or dark colour scheme. A platform theme that already
// gives a dark palette is left alone; otherwise a desktop that asks for dark (GTK_THEME ending
// in ":dark", or GNOME's color-scheme set to 'prefer-dark') gets the Fusion style with a dark
// palette.
#pragma once

#include <QPalette>
#include <QString>

class QApplication;

namespace corvane {

// Whether the desktop's settings ask for a dark scheme.
bool PrefersDark(const QString& gtkTheme, const QString& gnomeColorScheme);

// A palette is dark when its window background is.
bool IsDark(const QPalette& palette);

// The palette used when the desktop asks for dark and the platform gives none.
QPalette DarkPalette();

void FollowDesktopColourScheme(QApplication& app);

} // namespace corvane
