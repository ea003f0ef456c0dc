#pragma once
// Where an installation puts its pieces. The installer and the uninstaller both ask here, so the
// uninstaller removes exactly the places the installer writes and nothing else.

#include <QString>
#include <QStringList>

namespace tessarel {

inline constexpr int WM_INSTALL_STEP = 10101;
inline constexpr int WM_INSTALL_DONE = 10102;

inline const QString kDirectorySuffix = QStringLiteral("/Tessarel");

// The window classes of the installed programs (their application names), which the entries'
// StartupWMClass names so that a running window groups with its launcher.
inline const QString kProgramWindowClass = QStringLiteral("Tessarel");
inline const QString kUninstallWindowClass = QStringLiteral("TessarelUninstall");

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
// The uninstall registration the uninstaller reads.
QString ManifestPath();

// Every file an installation may create outside D: the uninstaller removes only these.
QStringList KnownEntryPaths();

} // namespace tessarel
