#pragma once
// Removes an installation recorded in the uninstall manifest: the files copied into D, the pages
// the program wrote into its contents folder, the links and the menu and context-menu entries,
// and the manifest itself. Other files in D and the user's settings stay unless asked for.

#include <QString>
#include <QStringList>

namespace tessarel {

class CUninstaller {
public:
    explicit CUninstaller(const QString& manifestPath);

    // False when no installation is recorded.
    bool load();
    QString directory() const { return directory_; }

    void run(bool removeSettings);
    // True when D itself could be removed (nothing of the user's was left in it).
    bool directoryRemoved() const { return directoryRemoved_; }

private:
    void removeFilesOfDirectory();
    void removeEntries();
    void removeSettings();

    QString manifestPath_;
    QString directory_;
    QStringList files_;
    QStringList entries_;
    bool directoryRemoved_ = false;
};

} // namespace tessarel
