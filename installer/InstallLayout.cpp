#include "installer/InstallLayout.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace tessarel {
namespace {

QString DataFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return folder.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : folder;
}

QString UninstallFolder() {
    return DataFolder() + QStringLiteral("/Quendralight/Uninstall");
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

QString CanonicalDirectory(const QString& directory) {
    const QFileInfo info(directory);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString ManifestPath(const QString& directory) {
    // Keyed by D so that installations side by side keep their records apart; outside D so that
    // copying one installation's folder never brings its record along.
    const QByteArray key =
        QCryptographicHash::hash(CanonicalDirectory(directory).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    return UninstallFolder() + QStringLiteral("/Tessarel-") + QString::fromLatin1(key) +
           QStringLiteral(".ini");
}

QStringList InstallationManifests() {
    QStringList paths;
    const QDir folder(UninstallFolder());
    for (const QString& name :
         folder.entryList({QStringLiteral("Tessarel-*.ini")}, QDir::Files | QDir::Hidden, QDir::Name))
        paths << folder.filePath(name);
    return paths;
}

QString DefaultFolderProgram() {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty())
        return QString();
    QProcess query;
    query.start(tool,
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("inode/directory")});
    if (!query.waitForFinished(30000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return QString();
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

void KeepDefaultFolderProgram(const QString& program) {
    // An entry in the user's data folder outranks the system's: without a recorded default, the
    // folder entry would become the program that opens every folder.
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!tool.isEmpty())
        QProcess::execute(tool, {QStringLiteral("default"), program, QStringLiteral("inode/directory")});
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
