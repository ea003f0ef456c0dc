#include "installer/Uninstaller.h"

#include "installer/InstallLayout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace tessarel {
namespace {

// A manifest is a file in the user's home that anyone with access may edit: only names that
// stay inside D are taken.
bool IsInsideName(const QString& relative) {
    if (relative.isEmpty() || QDir::isAbsolutePath(relative))
        return false;
    const QString clean = QDir::cleanPath(relative);
    return clean != QLatin1String("..") && !clean.startsWith(QLatin1String("../")) &&
           clean != QLatin1String(".");
}

// Folders left empty are removed bottom up; a folder with anything in it stays.
void RemoveEmptyFolders(const QString& folder) {
    const QDir dir(folder);
    for (const QFileInfo& child : dir.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        if (!child.isSymLink())
            RemoveEmptyFolders(child.absoluteFilePath());
    QDir().rmdir(folder);
}

} // namespace

CUninstaller::CUninstaller(const QString& manifestPath) : manifestPath_(manifestPath) {}

bool CUninstaller::load() {
    if (!QFileInfo::exists(manifestPath_))
        return false;
    QSettings manifest(manifestPath_, QSettings::IniFormat);
    manifest.beginGroup(QStringLiteral("Uninstall"));
    directory_ = manifest.value(QStringLiteral("InstallLocation")).toString();
    files_ = manifest.value(QStringLiteral("Files")).toStringList();
    entries_ = manifest.value(QStringLiteral("Entries")).toStringList();
    manifest.endGroup();
    // A root or relative D would turn the file list into anything at all.
    directory_ = QDir::cleanPath(directory_);
    return QDir::isAbsolutePath(directory_) && directory_ != QLatin1String("/");
}

void CUninstaller::run(bool removeSettings) {
    removeEntries();
    removeFilesOfDirectory();
    if (removeSettings)
        this->removeSettings();
    QFile::remove(manifestPath_);
    QDir().rmdir(QFileInfo(manifestPath_).absolutePath());
}

void CUninstaller::removeEntries() {
    const QStringList known = KnownEntryPaths();
    for (const QString& entry : entries_)
        if (known.contains(entry))
            QFile::remove(entry);
    QDir().rmdir(MenuFolder());
    RefreshApplicationsCache();
}

void CUninstaller::removeFilesOfDirectory() {
    const QDir dir(directory_);
    for (const QString& relative : files_)
        if (IsInsideName(relative))
            QFile::remove(dir.filePath(relative));
    // The program's own output in its contents folder: the result and text pages and the
    // temporary extraction file.
    const QRegularExpression programOutput(
        QStringLiteral("^(content[0-9]+\\.html|wts.*\\.txt|tessarel\\.log)$"));
    const QDir contents(dir.filePath(QStringLiteral("contents")));
    for (const QFileInfo& file : contents.entryInfoList(QDir::Files | QDir::Hidden))
        if (programOutput.match(file.fileName()).hasMatch())
            QFile::remove(file.absoluteFilePath());
    QFile::remove(UninstallerPath(directory_));
    RemoveEmptyFolders(directory_);
    directoryRemoved_ = !QFileInfo::exists(directory_);
}

void CUninstaller::removeSettings() {
    QSettings settings(QStringLiteral("Quendralight"), QStringLiteral("Tessarel"));
    settings.clear();
    settings.sync();
    QFile::remove(settings.fileName());
    QDir().rmdir(QFileInfo(settings.fileName()).absolutePath());
}

} // namespace tessarel
