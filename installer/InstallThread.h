#pragma once
// The installer's worker: copies the files of the folder it is started in into the installation
// directory D, makes the links, writes the default settings and the context-menu and uninstall
// entries, and reports each finished step to the progress page by a posted event.

#include "installer/InstallManifest.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>

namespace tessarel {

class CInstallThread : public QThread {
public:
    // The wizard's choices are copied in before the thread starts; receiver gets WM_INSTALL_STEP
    // after each step and WM_INSTALL_DONE at the end.
    CInstallThread(QObject* receiver, const QString& directory, int startMenuFlag, int desktopFlag,
                   int contextMenuFlag);
    ~CInstallThread() override;

protected:
    void run() override;

private:
    void step();
    void createDirectory();
    void copyCurrentDirectory();
    void deleteSetupCopy();
    void createShortcuts();
    void writeDefaultSettings();
    void writeFolderPickerSize();
    void registerContextMenu();
    void registerUninstall();

    void copyFolder(const QString& source, const QString& relative);
    // Every file the installer writes outside D goes through here, so the manifest lists it.
    bool writeEntry(const QString& path, const QByteArray& bytes, bool executable);
    bool writeEntry(const QString& path, const QString& text, bool executable);

    QPointer<QObject> receiver_;
    QString directory_;
    int startMenuFlag_;
    int desktopFlag_;
    int contextMenuFlag_;

    QString root_; // D with links resolved: where the file steps go
    QString sourceFolder_;
    bool sourceIsTarget_ = false;
    CInstallManifest manifest_; // what this run made, for the uninstaller
};

} // namespace tessarel
