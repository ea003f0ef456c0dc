#pragma once
// Where an installation puts its pieces. The installer and the uninstaller both ask here, so the
// uninstaller removes exactly the places the installer writes and nothing else.

#include <QString>
#include <QStringList>

namespace tessarel {

inline constexpr int WM_INSTALL_STEP = 10101;
inline constexpr int WM_INSTALL_DONE = 10102;

inline const QString kDirectorySuffix = QStringLiteral("/Tessarel");

// D as the file steps use it: links resolved, so that two spellings of one folder are one
// installation (the folder need not exist).
QString CanonicalDirectory(const QString& directory);

// The three programs inside the installation directory D.
QString ProgramPath(const QString& directory);
QString UninstallerPath(const QString& directory);
QString SetupPath(const QString& directory);

// The parent of the default installation directory: the per-user data folder (~/.local/share),
// writable without root, so the program's contents folder is writable too.
QString ProgramFilesFolder();
QString DefaultInstallDirectory();

// The per-user folder of application entries (~/.local/share/applications).
QString ApplicationsFolder();
// Desktop link: the desktop folder + "/Tessarel.desktop".
QString DesktopLinkPath();
// The menu folder F holding "Tessarel.desktop" and "Uninstall.desktop", and the two files that
// make menus show F as a submenu of its own.
QString MenuFolder();
QString MenuDirectoryFile();
QString MenuMergeFile();
// The folder entry every file manager offers under "Open With".
QString FolderEntryPath();
// Rebuilds the MIME cache of the applications folder when the tool for it is installed.
void RefreshApplicationsCache();
// The file managers' own context-menu entries, each written only when that file manager is there.
struct FileManagerEntry {
    QString program; // the file manager's executable, looked up on PATH
    QString path;    // where its entry goes
};
QList<FileManagerEntry> FileManagerEntries();
// The uninstall registration of the installation in D, one per installation: the uninstaller
// in D reads this one only.
QString ManifestPath(const QString& directory);
// The registrations of every installation of this user.
QStringList InstallationManifests();

// The default program for folders as the desktop reports it ("" when it cannot tell), and making
// program (a desktop entry's file name) that default again.
QString DefaultFolderProgram();
void KeepDefaultFolderProgram(const QString& program);

// Every file an installation may create outside D: the uninstaller removes only these.
QStringList KnownEntryPaths();

} // namespace tessarel
