#include "installer/InstallThread.h"

#include "installer/DesktopEntry.h"
#include "installer/InstallLayout.h"
#include "platform/SettingsStore.h"
#include "platform/qt/QtSettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tessarel {
namespace {

const QString kHelpLink = QStringLiteral("https://tessarel.quendralight.example/");

QString MenuMergeText() {
    return QStringLiteral("<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                          " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">\n"
                          "<Menu>\n"
                          "  <Name>Applications</Name>\n"
                          "  <Menu>\n"
                          "    <Name>Tessarel</Name>\n"
                          "    <Directory>tessarel.directory</Directory>\n"
                          "    <Include>\n"
                          "      <Filename>Tessarel-Tessarel.desktop</Filename>\n"
                          "      <Filename>Tessarel-Uninstall.desktop</Filename>\n"
                          "    </Include>\n"
                          "  </Menu>\n"
                          "</Menu>\n");
}

QString FileManagerEntryText(const QString& fileManager, const QString& program) {
    if (fileManager == QLatin1String("nautilus")) {
        // Scripts get the selected items as arguments and run in the folder being shown.
        return QStringLiteral("#!/bin/sh\n# Searches the chosen folder with Tessarel.\nexec ") +
               ShellArgument(program) + QStringLiteral(" \"${1:-$PWD}\"\n");
    }
    if (fileManager == QLatin1String("nemo")) {
        return QStringLiteral("[Nemo Action]\nName=Tessarel...\nComment=Search this folder with Tessarel\n"
                              "Exec=") +
               ExecArgument(program) + QStringLiteral(" %F\nSelection=s\nExtensions=dir;\n");
    }
    return QStringLiteral("[Desktop Entry]\nType=Service\nMimeType=inode/directory;\nActions=tessarel;\n"
                          "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n\n[Desktop Action tessarel]\n"
                          "Name=Tessarel...\nExec=") +
           ExecArgument(program) + QStringLiteral(" %f\n");
}

QString Canonical(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

} // namespace

CInstallThread::CInstallThread(QObject* receiver, const QString& directory, int startMenuFlag,
                               int desktopFlag, int contextMenuFlag)
    : receiver_(receiver), directory_(directory), startMenuFlag_(startMenuFlag), desktopFlag_(desktopFlag),
      contextMenuFlag_(contextMenuFlag) {}

// The owner may go while the worker still runs; it never destroys it under its thread.
CInstallThread::~CInstallThread() {
    wait();
}

void CInstallThread::run() {
    createDirectory();
    copyCurrentDirectory();
    deleteSetupCopy();
    createShortcuts();
    writeDefaultSettings();
    writeFolderPickerSize();
    registerContextMenu();
    registerUninstall();
    if (receiver_)
        QCoreApplication::postEvent(receiver_, new QEvent(QEvent::Type(WM_INSTALL_DONE)));
}

void CInstallThread::step() {
    if (receiver_)
        QCoreApplication::postEvent(receiver_, new QEvent(QEvent::Type(WM_INSTALL_STEP)));
}

void CInstallThread::createDirectory() {
    QDir().mkpath(directory_);
    step();
}

void CInstallThread::copyCurrentDirectory() {
    sourceFolder_ = QDir::currentPath();
    // Copying a folder onto itself would replace each file by itself; there is nothing to copy.
    sourceIsTarget_ = Canonical(sourceFolder_) == Canonical(directory_);
    if (!sourceIsTarget_)
        copyFolder(sourceFolder_, directory_, QString());
    step();
}

void CInstallThread::copyFolder(const QString& source, const QString& target, const QString& relative) {
    const QDir folder(source);
    const QFileInfoList entries = folder.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    const QString canonicalTarget = Canonical(directory_);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        const QString relativeName = relative.isEmpty() ? name : relative + QLatin1Char('/') + name;
        const QString targetPath = target + QLatin1Char('/') + name;
        if (entry.isDir()) {
            // A folder link may lead back up the tree, and D may lie inside the source folder:
            // following either would copy without end.
            if (entry.isSymLink() || Canonical(entry.absoluteFilePath()) == canonicalTarget)
                continue;
            QDir().mkpath(targetPath);
            copyFolder(entry.absoluteFilePath(), targetPath, relativeName);
            continue;
        }
        // Only regular files: reading a pipe or a device would never end.
        if (!entry.isFile())
            continue;
        // Removing first replaces a running program's file without touching the running copy.
        if (QFileInfo::exists(targetPath) || QFileInfo(targetPath).isSymLink())
            QFile::remove(targetPath);
        if (QFile::copy(entry.absoluteFilePath(), targetPath))
            copiedFiles_ << relativeName;
    }
}

void CInstallThread::deleteSetupCopy() {
    // Started inside D itself, the installer's file is the only copy the user has: keep it.
    if (!sourceIsTarget_) {
        QFile::remove(SetupPath(directory_));
        copiedFiles_.removeAll(QFileInfo(SetupPath(directory_)).fileName());
    }
    step();
}

bool CInstallThread::writeEntry(const QString& path, const QString& text, bool executable) {
    const bool written = WriteTextFile(path, text, executable);
    if (written)
        madeEntries_ << path;
    return written;
}

void CInstallThread::createShortcuts() {
    const QString program = ProgramPath(directory_);
    if (desktopFlag_ == 1) {
        DesktopEntry link;
        link.name = QStringLiteral("Tessarel");
        link.exec = ExecArgument(program);
        writeEntry(DesktopLinkPath(), DesktopEntryText(link), true);
        step();
    }
    if (startMenuFlag_ == 1) {
        const QString folder = MenuFolder();
        QDir().mkpath(folder);
        writeEntry(MenuDirectoryFile(), QStringLiteral("[Desktop Entry]\nType=Directory\nName=Tessarel\n"),
                   false);
        writeEntry(MenuMergeFile(), MenuMergeText(), false);

        DesktopEntry item;
        item.name = QStringLiteral("Tessarel");
        item.exec = ExecArgument(program);
        item.categories = QStringLiteral("Utility;TextTools;");
        writeEntry(folder + QStringLiteral("/Tessarel.desktop"), DesktopEntryText(item), true);
        step();

        DesktopEntry uninstall;
        uninstall.name = QStringLiteral("Uninstall");
        uninstall.comment = QStringLiteral("Remove Tessarel");
        uninstall.exec = ExecArgument(UninstallerPath(directory_));
        writeEntry(folder + QStringLiteral("/Uninstall.desktop"), DesktopEntryText(uninstall), true);
        step();
    }
}

void CInstallThread::writeDefaultSettings() {
    QtSettingsStore store;
    const std::u16string directory = directory_.toStdU16String();
    store.writeString(kSettingsSection, "StartupDirectory", directory);
    store.writeString(kSettingsSection, "FontFace", u"Times New Roman");
    store.writeString(kSettingsSection, "ProgramDirectory", directory);
    store.writeInt(kSettingsSection, "groupByFiles", 1);
    store.writeInt(kSettingsSection, "UnlimitedResults", 0);
    store.writeInt(kSettingsSection, "LimitLeft", 1);
    store.writeInt(kSettingsSection, "ResultsPerFile", 4);
    store.writeInt(kSettingsSection, "FontSize", 12);
    store.writeInt(kSettingsSection, "FilesText", 1);
    store.writeInt(kSettingsSection, "FilesDoc", 1);
    store.writeInt(kSettingsSection, "FilesRtf", 1);
    store.writeInt(kSettingsSection, "FilesPdf", 1);
    store.writeInt(kSettingsSection, "FilesDocx", 1);
    store.writeInt(kSettingsSection, "FilesXlsx", 1);
    store.writeInt(kSettingsSection, "FilesPptx", 1);
    store.writeInt(kSettingsSection, "FilesOdt", 1);
}

void CInstallThread::writeFolderPickerSize() {
    // The folder chooser's size lives beside the settings, in a section of its own.
    if (!QSettings(QStringLiteral("Quendralight"), QStringLiteral("Tessarel")).isWritable())
        return;
    QtSettingsStore store;
    store.writeInt("Explorer", "Browse For Folder Width", 480);
    store.writeInt("Explorer", "Browse For Folder Height", 440);
    step();
}

void CInstallThread::registerContextMenu() {
    if (contextMenuFlag_ != 1)
        return;
    const QString program = ProgramPath(directory_);
    DesktopEntry entry;
    entry.name = QStringLiteral("Tessarel...");
    entry.comment = QStringLiteral("Search this folder with Tessarel");
    entry.exec = ExecArgument(program) + QStringLiteral(" %f");
    entry.mimeTypes = QStringLiteral("inode/directory;");
    // Offered for folders under "Open With", not listed in the menus beside the real item.
    entry.noDisplay = true;
    if (!writeEntry(FolderEntryPath(), DesktopEntryText(entry), false))
        return;
    for (const FileManagerEntry& fileManager : FileManagerEntries()) {
        if (QStandardPaths::findExecutable(fileManager.program).isEmpty())
            continue;
        const bool script = fileManager.program == QLatin1String("nautilus");
        const bool service = fileManager.program == QLatin1String("dolphin");
        writeEntry(fileManager.path, FileManagerEntryText(fileManager.program, program), script || service);
    }
    RefreshApplicationsCache();
    step();
}

void CInstallThread::registerUninstall() {
    const QString path = ManifestPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    QFile::remove(path);
    QSettings manifest(path, QSettings::IniFormat);
    manifest.beginGroup(QStringLiteral("Uninstall"));
    manifest.setValue(QStringLiteral("DisplayIcon"), ProgramPath(directory_));
    manifest.setValue(QStringLiteral("DisplayName"), QStringLiteral("Tessarel"));
    manifest.setValue(QStringLiteral("DisplayVersion"), QStringLiteral("1.1"));
    manifest.setValue(QStringLiteral("UninstallString"), UninstallerPath(directory_));
    manifest.setValue(QStringLiteral("HelpLink"), kHelpLink);
    manifest.setValue(QStringLiteral("NoModify"), 1);
    manifest.setValue(QStringLiteral("NoRepair"), 1);
    manifest.setValue(QStringLiteral("InstallLocation"), directory_);
    // What the uninstaller may remove: the files copied into D and the entries made outside it.
    manifest.setValue(QStringLiteral("Files"), copiedFiles_);
    manifest.setValue(QStringLiteral("Entries"), madeEntries_);
    manifest.endGroup();
    manifest.sync();
    if (manifest.status() == QSettings::NoError)
        step();
}

} // namespace tessarel
