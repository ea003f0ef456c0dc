#include "installer/Uninstaller.h"

#include "installer/InstallLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>

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

bool Exists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

CUninstaller::CUninstaller(const QString& directory)
    : root_(CanonicalDirectory(directory)), manifest_(ManifestPath(root_)) {}

CUninstaller::LoadResult CUninstaller::load() {
    if (!manifest_.load())
        return LoadResult::NotInstalled;
    // The record must be D's own: a record naming any other folder (the home folder, say) would
    // turn its file list into that folder's files.
    const QString named = QDir::cleanPath(manifest_.installLocation);
    if (!QDir::isAbsolutePath(named) || CanonicalDirectory(named) != root_ || root_ == QLatin1String("/"))
        return LoadResult::OtherDirectory;
    return LoadResult::Loaded;
}

bool CUninstaller::run(bool removeSettings) {
    failures_.clear();
    removeEntries();
    removeFilesOfDirectory();
    if (removeSettings)
        this->removeSettings();
    // Kept after a failure, so that a second run can finish the work.
    if (failures_.isEmpty()) {
        check(RemoveOwnFile(manifest_.path()), manifest_.path());
        QDir().rmdir(QFileInfo(manifest_.path()).absolutePath());
    }
    return failures_.isEmpty();
}

void CUninstaller::check(RemoveResult result, const QString& path) {
    if (result == RemoveResult::Failed)
        failures_ << path;
}

bool CUninstaller::isOwnEntry(const CInstallManifest::Entry& entry) const {
    // Not a regular file of the recorded content: the user's, or rewritten by another
    // installation since, or a link put there.
    const std::optional<QByteArray> bytes = ReadOwnFile(entry.path);
    if (!bytes || CInstallManifest::Digest(*bytes) != entry.sha256)
        return false;
    // The same content recorded by another installation (the menu's folder files, say) is still
    // in use there.
    for (const QString& path : InstallationManifests()) {
        if (QFileInfo(path) == QFileInfo(manifest_.path()))
            continue;
        CInstallManifest other(path);
        if (!other.load())
            continue;
        if (std::any_of(other.entries.begin(), other.entries.end(), [&entry](const auto& theirs) {
                return theirs.path == entry.path && theirs.sha256 == entry.sha256;
            }))
            return false;
    }
    return true;
}

void CUninstaller::removeEntries() {
    const QStringList known = KnownEntryPaths();
    for (const CInstallManifest::Entry& entry : manifest_.entries)
        if (known.contains(entry.path) && Exists(entry.path) && isOwnEntry(entry))
            check(RemoveOwnFile(entry.path), entry.path);
    QDir().rmdir(MenuFolder());
    RefreshApplicationsCache();
}

void CUninstaller::removeFilesOfDirectory() {
    // The uninstaller goes last, and only when all else went: after a failure it is there to
    // run again.
    const QString self = QFileInfo(UninstallerPath(root_)).fileName();
    for (const QString& relative : manifest_.files)
        if (IsInsideName(relative) && QDir::cleanPath(relative) != self)
            check(RemoveFileBeneath(root_, relative), root_ + QLatin1Char('/') + relative);
    // The program's own output in its contents folder: the result and text pages and the
    // temporary extraction file.
    const QString contents = QStringLiteral("contents");
    if (manifest_.folders.contains(contents)) {
        const QRegularExpression programOutput(
            QStringLiteral("^(content[0-9]+\\.html|wts.*\\.txt|tessarel\\.log)$"));
        for (const QString& name : FilesBeneath(root_, contents))
            if (programOutput.match(name).hasMatch())
                check(RemoveFileBeneath(root_, contents + QLatin1Char('/') + name),
                      root_ + QLatin1Char('/') + contents + QLatin1Char('/') + name);
    }
    if (failures_.isEmpty() && manifest_.files.contains(self))
        check(RemoveFileBeneath(root_, self), UninstallerPath(root_));
    // Deepest first; a folder that holds anything else is the user's to keep.
    QStringList folders;
    for (const QString& relative : manifest_.folders)
        if (IsInsideName(relative))
            folders << QDir::cleanPath(relative);
    std::sort(folders.begin(), folders.end(), [](const QString& a, const QString& b) {
        return a.count(QLatin1Char('/')) > b.count(QLatin1Char('/'));
    });
    for (const QString& relative : folders)
        check(RemoveFolderBeneath(root_, relative), root_ + QLatin1Char('/') + relative);
    if (QDir().rmdir(root_) || !Exists(root_))
        directoryRemoved_ = true;
    else if (QDir(root_).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        failures_ << root_;
}

void CUninstaller::removeSettings() {
    QSettings settings(QStringLiteral("Quendralight"), QStringLiteral("Tessarel"));
    settings.clear();
    settings.sync();
    const QString file = settings.fileName();
    if (QFile::exists(file) && !QFile::remove(file))
        failures_ << file;
    QDir().rmdir(QFileInfo(file).absolutePath());
}

} // namespace tessarel
