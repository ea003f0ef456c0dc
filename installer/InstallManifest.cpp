#include "installer/InstallManifest.h"

#include "installer/InstallLayout.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace tessarel {
namespace {

const QString kGroup = QStringLiteral("Uninstall");
const QString kHelpLink = QStringLiteral("https://tessarel.quendralight.example/");

} // namespace

bool CInstallManifest::load() {
    if (!QFileInfo(path_).isFile() || QFileInfo(path_).isSymLink())
        return false;
    QSettings manifest(path_, QSettings::IniFormat);
    if (manifest.status() != QSettings::NoError)
        return false;
    manifest.beginGroup(kGroup);
    installLocation = manifest.value(QStringLiteral("InstallLocation")).toString();
    files = manifest.value(QStringLiteral("Files")).toStringList();
    folders = manifest.value(QStringLiteral("Folders")).toStringList();
    entries.clear();
    const int count = manifest.beginReadArray(QStringLiteral("Entries"));
    for (int i = 0; i < count; ++i) {
        manifest.setArrayIndex(i);
        entries.append({manifest.value(QStringLiteral("Path")).toString(),
                        manifest.value(QStringLiteral("Sha256")).toString().toLatin1()});
    }
    manifest.endArray();
    manifest.endGroup();
    return true;
}

bool CInstallManifest::save() const {
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()) || QFileInfo(path_).isSymLink())
        return false;
    QFile::remove(path_);
    QSettings manifest(path_, QSettings::IniFormat);
    manifest.beginGroup(kGroup);
    manifest.setValue(QStringLiteral("DisplayIcon"), ProgramPath(installLocation));
    manifest.setValue(QStringLiteral("DisplayName"), QStringLiteral("Tessarel"));
    manifest.setValue(QStringLiteral("DisplayVersion"), QStringLiteral("1.1"));
    manifest.setValue(QStringLiteral("UninstallString"), UninstallerPath(installLocation));
    manifest.setValue(QStringLiteral("HelpLink"), kHelpLink);
    manifest.setValue(QStringLiteral("NoModify"), 1);
    manifest.setValue(QStringLiteral("NoRepair"), 1);
    manifest.setValue(QStringLiteral("InstallLocation"), installLocation);
    manifest.setValue(QStringLiteral("Files"), files);
    manifest.setValue(QStringLiteral("Folders"), folders);
    manifest.beginWriteArray(QStringLiteral("Entries"), int(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        manifest.setArrayIndex(i);
        manifest.setValue(QStringLiteral("Path"), entries[i].path);
        manifest.setValue(QStringLiteral("Sha256"), QString::fromLatin1(entries[i].sha256));
    }
    manifest.endArray();
    manifest.endGroup();
    manifest.sync();
    return manifest.status() == QSettings::NoError;
}

void CInstallManifest::merge(const CInstallManifest& earlier) {
    for (const QString& file : earlier.files)
        addFile(file);
    for (const QString& folder : earlier.folders)
        addFolder(folder);
    // This run's digest of an entry it rewrote is the one that holds now.
    for (const Entry& entry : earlier.entries) {
        const bool rewritten = std::any_of(entries.begin(), entries.end(),
                                           [&entry](const Entry& made) { return made.path == entry.path; });
        if (!rewritten)
            entries.append(entry);
    }
}

void CInstallManifest::addFile(const QString& relative) {
    if (!files.contains(relative))
        files << relative;
}

void CInstallManifest::removeFile(const QString& relative) {
    files.removeAll(relative);
}

void CInstallManifest::addFolder(const QString& relative) {
    if (!folders.contains(relative))
        folders << relative;
}

void CInstallManifest::addEntry(const QString& path, const QByteArray& bytes) {
    const QByteArray digest = Digest(bytes);
    for (Entry& entry : entries)
        if (entry.path == path) {
            entry.sha256 = digest;
            return;
        }
    entries.append({path, digest});
}

QByteArray CInstallManifest::Digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace tessarel
