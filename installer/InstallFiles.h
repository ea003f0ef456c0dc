#pragma once
// The file steps of the installer and the uninstaller. None of them goes through a link: a link
// at a place the installer writes could make it overwrite or chmod another file, and a linked
// folder inside the installation directory D would take the uninstaller out of D.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessarel {

enum class RemoveResult {
    Removed,
    Absent, // nothing there: already gone
    Kept,   // a folder that still holds something, left in place on purpose
    Failed, // there, but it could not be removed (or only through a link)
};

// Writes bytes to path through a temporary file in the same folder that is then renamed over
// the old file, so a failed write leaves the old file whole. A link or a folder at path makes the
// step fail. Missing parent folders are made. Executable files get rwxr-xr-x, others rw-r--r--.
bool ReplaceFile(const QString& path, const QByteArray& bytes, bool executable);
// Reads a regular file that is not a link; nothing for a link, a folder or a missing file.
std::optional<QByteArray> ReadOwnFile(const QString& path);
// Removes a regular file that is not a link; a link or a folder there is left and reported.
RemoveResult RemoveOwnFile(const QString& path);

// Steps beneath the installation directory D (root, canonical), with paths relative to it.
// Every folder between D and the file must be a real folder.
bool MakeFolderBeneath(const QString& root, const QString& relative);
// Copies source to root/relative the way ReplaceFile writes, with the source's rwx permissions.
bool CopyFileBeneath(const QString& source, const QString& root, const QString& relative);
// A file (or a link, removed itself, never followed) beneath root.
RemoveResult RemoveFileBeneath(const QString& root, const QString& relative);
// A folder beneath root, only when it is empty.
RemoveResult RemoveFolderBeneath(const QString& root, const QString& relative);
// The names of the regular files directly in the folder root/relative.
QStringList FilesBeneath(const QString& root, const QString& relative);

} // namespace tessarel
