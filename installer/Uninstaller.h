#pragma once
// Removes the installation in one directory D as its manifest records it: the files and folders
// the installer placed in D, the pages the program wrote into its contents folder, and the links
// and menu and context-menu entries still as this installation wrote them; then the manifest.
// Other files in D, other installations' entries and the user's settings stay unless asked for.

#include "installer/InstallFiles.h"
#include "installer/InstallManifest.h"

#include <QString>
#include <QStringList>

namespace tessarel {

class CUninstaller {
public:
    enum class LoadResult {
        Loaded,
        NotInstalled,   // no record for D
        OtherDirectory, // the record names another folder than D: refused
    };

    // directory: D, the folder of the running uninstaller.
    explicit CUninstaller(const QString& directory);

    LoadResult load();
    // D as the installer was given it (after load), and the folder the record named.
    QString directory() const { return manifest_.installLocation; }

    // True when everything recorded is gone; otherwise failures() lists what is left and the
    // manifest stays, so the uninstaller can run again.
    bool run(bool removeSettings);
    QStringList failures() const { return failures_; }
    // True when D itself could be removed (nothing of the user's was left in it).
    bool directoryRemoved() const { return directoryRemoved_; }

private:
    void removeFilesOfDirectory();
    void removeEntries();
    void removeSettings();
    void check(RemoveResult result, const QString& path);
    bool isOwnEntry(const CInstallManifest::Entry& entry) const;

    QString root_; // D, canonical
    CInstallManifest manifest_;
    QStringList failures_;
    bool directoryRemoved_ = false;
};

} // namespace tessarel
