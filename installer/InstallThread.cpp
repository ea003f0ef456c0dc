#include "installer/InstallThread.h"

#include "engine/DocumentTypes.h"
#include "installer/DesktopEntry.h"
#include "installer/InstallFiles.h"
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
        // Scripts get the selected items by name, relative to the folder being shown, which is
        // the script's working folder; the program needs the whole path.
        return QStringLiteral("#!/bin/sh\n# Searches the chosen folder with Tessarel.\n"
                              "folder=${1:-$PWD}\n"
                              "case $folder in /*) ;; *) folder=$PWD/$folder ;; esac\n"
                              "exec ") +
               ShellArgument(program) + QStringLiteral(" \"$folder\"\n");
    }
    if (fileManager == QLatin1String("nemo")) {
        return QStringLiteral("[Nemo Action]\nName=Tessarel...\nComment=Search this folder with Tessarel\n"
                              "Icon-Name=tessarel\nExec=") +
               ExecArgument(program) + QStringLiteral(" %F\nSelection=s\nExtensions=dir;\n");
    }
    return QStringLiteral(
               "[Desktop Entry]\nType=Service\nName=Tessarel\nMimeType=inode/directory;\nActions=tessarel;\n"
               "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n\n[Desktop Action tessarel]\n"
               "Name=Tessarel...\nIcon=tessarel\nExec=") +
           ExecArgument(program) + QStringLiteral(" %f\n");
}

} // namespace

CInstallThread::CInstallThread(QObject* receiver, const QString& directory, int startMenuFlag,
                               int desktopFlag, int contextMenuFlag)
    : receiver_(receiver), directory_(directory), startMenuFlag_(startMenuFlag), desktopFlag_(desktopFlag),
      contextMenuFlag_(contextMenuFlag), manifest_(QString()) {}

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
    installSharedData();
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
    root_ = CanonicalDirectory(directory_);
    manifest_ = CInstallManifest(ManifestPath(root_));
    manifest_.installLocation = directory_;
    step();
}

void CInstallThread::copyCurrentDirectory() {
    sourceFolder_ = QDir::currentPath();
    // Copying a folder onto itself would replace each file by itself: started inside D, the
    // release folder is the installation, and its files are only recorded.
    sourceIsTarget_ = CanonicalDirectory(sourceFolder_) == root_;
    copyFolder(sourceFolder_, QString());
    step();
}

void CInstallThread::copyFolder(const QString& source, const QString& relative) {
    const QDir folder(source);
    const QFileInfoList entries = folder.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        const QString relativeName = relative.isEmpty() ? name : relative + QLatin1Char('/') + name;
        if (entry.isDir()) {
            // A folder link may lead back up the tree, and D may lie inside the source folder:
            // following either would copy without end.
            if (entry.isSymLink() || CanonicalDirectory(entry.absoluteFilePath()) == root_)
                continue;
            if (sourceIsTarget_ || MakeFolderBeneath(root_, relativeName))
                manifest_.addFolder(relativeName);
            copyFolder(entry.absoluteFilePath(), relativeName);
            continue;
        }
        // Only regular files: reading a pipe or a device would never end.
        if (!entry.isFile())
            continue;
        if (sourceIsTarget_ || CopyFileBeneath(entry.absoluteFilePath(), root_, relativeName))
            manifest_.addFile(relativeName);
    }
}

void CInstallThread::deleteSetupCopy() {
    // Started inside D itself, the installer's file is the only copy the user has: keep it.
    if (!sourceIsTarget_) {
        const QString name = QFileInfo(SetupPath(directory_)).fileName();
        if (RemoveFileBeneath(root_, name) != RemoveResult::Failed)
            manifest_.removeFile(name);
    }
    step();
}

bool CInstallThread::writeEntry(const QString& path, const QByteArray& bytes, bool executable) {
    const bool written = ReplaceFile(path, bytes, executable);
    if (written)
        manifest_.addEntry(path, bytes);
    return written;
}

bool CInstallThread::writeEntry(const QString& path, const QString& text, bool executable) {
    return writeEntry(path, text.toUtf8(), executable);
}

void CInstallThread::createShortcuts() {
    const QString program = ProgramPath(directory_);
    if (desktopFlag_ == 1) {
        DesktopEntry link;
        link.name = QStringLiteral("Tessarel");
        link.exec = ExecArgument(program);
        link.startupWMClass = kProgramWindowClass;
        writeEntry(DesktopLinkPath(), DesktopEntryText(link), true);
        step();
    }
    if (startMenuFlag_ == 1) {
        const QString folder = MenuFolder();
        QDir().mkpath(folder);
        DesktopEntry menu;
        menu.type = QStringLiteral("Directory");
        menu.name = QStringLiteral("Tessarel");
        writeEntry(MenuDirectoryFile(), DesktopEntryText(menu), false);
        writeEntry(MenuMergeFile(), MenuMergeText(), false);

        DesktopEntry item;
        item.name = QStringLiteral("Tessarel");
        item.exec = ExecArgument(program);
        item.categories = QStringLiteral("Utility;TextTools;");
        item.startupWMClass = kProgramWindowClass;
        writeEntry(folder + QStringLiteral("/Tessarel.desktop"), DesktopEntryText(item), true);
        step();

        DesktopEntry uninstall;
        uninstall.name = QStringLiteral("Uninstall");
        uninstall.comment = QStringLiteral("Remove Tessarel");
        uninstall.exec = ExecArgument(UninstallerPath(directory_));
        uninstall.startupWMClass = kUninstallWindowClass;
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
    store.writeInt(kSettingsSection, "FilesOds", 1);
    store.writeInt(kSettingsSection, "FilesOdp", 1);
    store.writeInt(kSettingsSection, "FilesEpub", 1);
    store.writeInt(kSettingsSection, "FilesMail", 1);
    store.writeString(kSettingsSection, "TextExtensions", std::u16string(kTextExtensionsOfToday));
    store.writeInt(kSettingsSection, "TextCache", 1);
    store.writeInt(kSettingsSection, "FilesImages", 1);
    store.writeInt(kSettingsSection, "Ocr", 0);
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
    entry.startupWMClass = kProgramWindowClass;
    // Offered for folders under "Open With", not listed in the menus beside the real item.
    entry.noDisplay = true;
    // The entry serves "Open With" only: whatever opened folders before still does.
    const QString defaultProgram = DefaultFolderProgram();
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
    if (!defaultProgram.isEmpty() && DefaultFolderProgram() != defaultProgram)
        KeepDefaultFolderProgram(defaultProgram);
    step();
}

// Not a step of its own: the progress bar's step count is fixed by the wizard's page, and the
// shared files take no time worth showing.
void CInstallThread::installSharedData() {
    for (const QString& relative : SharedDataFiles())
        if (const std::optional<QByteArray> bytes = ReadOwnFile(SharedDataSource(root_, relative)))
            writeEntry(SharedDataPath(relative), *bytes, false);
    // Only with the program there: a launcher of nothing would just fail when typed.
    const QFileInfo cli(CliPath(root_));
    if (cli.isFile() && !cli.isSymLink())
        writeEntry(
            CommandLauncherPath(),
            QStringLiteral("#!/bin/sh\n# Starts the tessarel-cli of the Tessarel installation.\nexec ") +
                ShellArgument(CliPath(directory_)) + QStringLiteral(" \"$@\"\n"),
            true);
}

void CInstallThread::registerUninstall() {
    // Every run into D adds to its record: links and entries of an earlier run with other options
    // are still there and still the uninstaller's to remove.
    CInstallManifest earlier(manifest_.path());
    if (earlier.load())
        manifest_.merge(earlier);
    if (manifest_.save())
        step();
}

} // namespace tessarel
