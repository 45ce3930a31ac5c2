#pragma once

#include <QString>
#include <QStringList>

// A freedesktop launcher (".desktop" file) that runs a program with fixed
// arguments; the desktop shows it with its name, comment and icon.
struct DesktopLauncher {
    QString Name;
    QString Comment;
    QString Icon;
    QString Program;
    QStringList Arguments;

    // The Exec value: every part quoted and escaped as launchers require.
    QString ExecLine() const;
    // Writes the file in UTF-8 and makes it executable.
    bool WriteTo(const QString &fileName) const;
};
