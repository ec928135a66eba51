// The window follows the desktop's light or dark colour scheme. A platform theme that already
// gives a dark palette is left alone; otherwise a desktop that asks for dark (GTK_THEME ending
// in ":dark", or the desktop settings portal's color-scheme at "prefer dark") gets the Fusion
// style with a dark palette. The portal is asked over the session bus without waiting for its
// answer, so the window opens at once and turns dark when the answer comes; a later change of
// the desktop's choice is followed too. No child process is started for it.
#pragma once

#include <QDBusVariant>
#include <QObject>
#include <QPalette>
#include <QString>

class QApplication;

namespace corvane {

// Whether a session bus is there to connect to, without starting one.
bool SessionBusThere();

// Whether GTK_THEME asks for a dark scheme.
bool PrefersDark(const QString& gtkTheme);

// A palette is dark when its window background is.
bool IsDark(const QPalette& palette);

// The palette used when the desktop asks for dark and the platform gives none.
QPalette DarkPalette();

// The scheme the desktop asks for, applied to the application: dark, or back to the light look
// it had before.
class TDesktopScheme : public QObject {
    Q_OBJECT
public:
    explicit TDesktopScheme(QApplication& app);
    // The portal's value: 1 prefers dark; 0 (no preference) and 2 (prefer light) are light.
    void Apply(uint scheme);

public slots:
    // By value: the D-Bus binding finds no slot that takes the variant by reference.
    void SettingChanged(QString ns, QString key, QDBusVariant value);

private:
    QApplication& app_;
    QString lightStyle_;
    QPalette lightPalette_;
    bool dark_ = false;
};

void FollowDesktopColourScheme(QApplication& app);

} // namespace corvane
