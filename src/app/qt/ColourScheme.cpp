#include "app/qt/ColourScheme.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QStyleHints>

namespace corvane {

namespace {
// GNOME's setting, when its tool is there; empty otherwise. Bounded, so a hung session bus
// cannot hold up the start.
QString GnomeColorScheme() {
    if (QStandardPaths::findExecutable("gsettings").isEmpty())
        return {};
    QProcess p;
    p.start("gsettings", {"get", "org.gnome.desktop.interface", "color-scheme"});
    if (!p.waitForFinished(500)) {
        p.kill();
        p.waitForFinished(100);
        return {};
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}
} // namespace

bool PrefersDark(const QString& gtkTheme, const QString& gnomeColorScheme) {
    return gtkTheme.endsWith(":dark", Qt::CaseInsensitive) ||
           gnomeColorScheme.contains("prefer-dark");
}

bool IsDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QPalette DarkPalette() {
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), grey(130, 130, 130);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, grey);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 90, 90));
    p.setColor(QPalette::Light, QColor(70, 70, 74));
    p.setColor(QPalette::Midlight, QColor(58, 58, 62));
    p.setColor(QPalette::Mid, QColor(38, 38, 40));
    p.setColor(QPalette::Dark, QColor(25, 25, 26));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(42, 110, 180));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(110, 170, 255));
    p.setColor(QPalette::LinkVisited, QColor(180, 140, 255));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, grey);
    return p;
}

void FollowDesktopColourScheme(QApplication& app) {
    if (IsDark(app.palette()))
        return; // the platform theme has done it
    if (!PrefersDark(qEnvironmentVariable("GTK_THEME"), GnomeColorScheme()))
        return;
    app.setStyle(QStyleFactory::create("Fusion"));
    app.setPalette(DarkPalette());
}

} // namespace corvane
