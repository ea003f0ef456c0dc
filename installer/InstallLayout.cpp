#include "installer/InstallLayout.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace tessarel {
namespace {

QString DataFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return folder.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : folder;
}

QString ConfigFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return folder.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : folder;
}

} // namespace

QString ApplicationsFolder() {
    return DataFolder() + QStringLiteral("/applications");
}

QString ProgramPath(const QString& directory) {
    return directory + QStringLiteral("/") + QStringLiteral("Tessarel_") + QStringLiteral("en");
}

QString UninstallerPath(const QString& directory) {
    return directory + QStringLiteral("/") + QStringLiteral("Uninstall_") + QStringLiteral("en");
}

QString SetupPath(const QString& directory) {
    return directory + QStringLiteral("/TessarelSetup_") + QStringLiteral("en");
}

QString ProgramFilesFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString DefaultInstallDirectory() {
    QString parent = ProgramFilesFolder();
    // Without a data folder the home folder is the one place sure to be writable.
    if (parent.isEmpty())
        parent = QDir::homePath();
    if (parent.endsWith(QLatin1Char('/')))
        parent.chop(1);
    return parent + kDirectorySuffix;
}

QString DesktopLinkPath() {
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty())
        desktop = QDir::homePath() + QStringLiteral("/Desktop");
    return desktop + QStringLiteral("/Tessarel.desktop");
}

void RefreshApplicationsCache() {
    // File managers find the folder entry through this cache where it is kept; it is rebuilt
    // from the entries, so it may be missing.
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (!tool.isEmpty())
        QProcess::execute(tool, {ApplicationsFolder()});
}

QString MenuFolder() {
    return ApplicationsFolder() + QStringLiteral("/Tessarel");
}

QString MenuDirectoryFile() {
    return DataFolder() + QStringLiteral("/desktop-directories/tessarel.directory");
}

QString MenuMergeFile() {
    return ConfigFolder() + QStringLiteral("/menus/applications-merged/tessarel.menu");
}

QString FolderEntryPath() {
    return ApplicationsFolder() + QStringLiteral("/tessarel-folder.desktop");
}

QList<FileManagerEntry> FileManagerEntries() {
    const QString data = DataFolder();
    return {
        {QStringLiteral("nautilus"), data + QStringLiteral("/nautilus/scripts/Tessarel...")},
        {QStringLiteral("nemo"), data + QStringLiteral("/nemo/actions/tessarel.nemo_action")},
        {QStringLiteral("dolphin"), data + QStringLiteral("/kio/servicemenus/tessarel.desktop")},
    };
}

QString ManifestPath() {
    return DataFolder() + QStringLiteral("/Quendralight/Uninstall/Tessarel.ini");
}

QStringList KnownEntryPaths() {
    QStringList paths{DesktopLinkPath(),
                      MenuFolder() + QStringLiteral("/Tessarel.desktop"),
                      MenuFolder() + QStringLiteral("/Uninstall.desktop"),
                      MenuDirectoryFile(),
                      MenuMergeFile(),
                      FolderEntryPath()};
    for (const FileManagerEntry& entry : FileManagerEntries())
        paths << entry.path;
    return paths;
}

} // namespace tessarel
