#pragma once
// freedesktop desktop entries, the Linux form of shortcuts and of the folder context-menu entry.

#include <QString>
#include <QStringList>

namespace tessarel {

struct DesktopEntry {
    QString type = QStringLiteral("Application");
    QString name;
    QString comment;
    QString exec;      // already an Exec value (see ExecArgument)
    QString mimeTypes; // "inode/directory;" for the folder entry
    QString categories;
    bool noDisplay = false;
};

// One Exec argument: quoted only when it holds a character the Exec rules reserve, then escaped
// for the desktop file's string syntax. The program path must survive spaces and quotes in D.
QString ExecArgument(const QString& argument);
// The same argument for a POSIX shell script.
QString ShellArgument(const QString& argument);

QString DesktopEntryText(const DesktopEntry& entry);

} // namespace tessarel
