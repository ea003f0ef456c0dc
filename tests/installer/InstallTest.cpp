// The installation worker and the uninstaller, run against a temporary home.

#include "TestHome.h"

#include "engine/DocumentTypes.h"
#include "installer/DesktopEntry.h"
#include "installer/InstallLayout.h"
#include "installer/InstallManifest.h"
#include "installer/InstallThread.h"
#include "installer/Uninstaller.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace tessarel;
using namespace tessarel::test;

namespace {

// Stands in for the progress page: counts what the worker posts.
class StepCounter : public QObject {
public:
    int steps = 0;
    int done = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::Type(WM_INSTALL_STEP)) {
            ++steps;
            return true;
        }
        if (event->type() == QEvent::Type(WM_INSTALL_DONE)) {
            ++done;
            return true;
        }
        return QObject::event(event);
    }
};

struct Options {
    int startMenu = 1;
    int desktop = 1;
    int contextMenu = 1;
};

// Runs one installation from source into directory; returns the steps posted.
int Install(const QString& source, const QString& directory, Options options = {}) {
    const QString before = QDir::currentPath();
    QDir::setCurrent(source);
    StepCounter counter;
    {
        CInstallThread worker(&counter, directory, options.startMenu, options.desktop, options.contextMenu);
        worker.start();
        worker.wait();
    }
    QCoreApplication::sendPostedEvents(&counter);
    QDir::setCurrent(before);
    return counter.done == 1 ? counter.steps : -1;
}

QVariant Setting(const QString& key) {
    QSettings settings(QStringLiteral("Quendralight"), QStringLiteral("Tessarel"));
    return settings.value(key);
}

// Starts the command of a desktop entry on path and returns the arguments the stand-in program got.
QStringList LaunchOn(const QString& entryText, const QString& path, const QString& directory) {
    const QStringList words = ExecWords(EntryValue(entryText, QStringLiteral("Exec")), path);
    if (words.isEmpty())
        return {};
    QFile::remove(directory + QStringLiteral("/arguments.txt"));
    if (QProcess::execute(words.first(), words.mid(1)) != 0)
        return {};
    return ReadFile(directory + QStringLiteral("/arguments.txt"))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Runs the uninstaller installed in directory without asking; errors gets what it reports.
int RunUninstaller(const QString& directory, const QStringList& options = {}, QString* errors = nullptr) {
    QProcess uninstaller;
    uninstaller.start(UninstallerPath(directory), QStringList{QStringLiteral("--yes")} + options);
    if (!uninstaller.waitForFinished(60000) || uninstaller.exitStatus() != QProcess::NormalExit)
        return -1;
    if (errors)
        *errors = QString::fromUtf8(uninstaller.readAllStandardError());
    return uninstaller.exitCode();
}

// The record of the installation in directory, as the uninstaller there reads it.
QString RecordOf(const QString& directory) {
    return ManifestPath(directory);
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

private:
    QString home_ = QDir::homePath();
    std::unique_ptr<QTemporaryDir> work_;
    QString source_;
    QString target_;

private slots:
    void init() {
        work_ = std::make_unique<QTemporaryDir>(home_ + QStringLiteral("/work-XXXXXX"));
        source_ = work_->filePath(QStringLiteral("release"));
        target_ = work_->filePath(QStringLiteral("installed/Tessarel"));
        MakeReleaseFolder(source_);
        // The real uninstaller, so that it can be run from where it is installed.
        QFile::remove(UninstallerPath(source_));
        QVERIFY(QFile::copy(QStringLiteral(TESSAREL_UNINSTALL_PROGRAM), UninstallerPath(source_)));
    }

    void cleanup() {
        work_.reset();
        for (const char* folder : {"/.config", "/.local/share", "/.local/bin", "/Desktop"})
            QDir(home_ + QLatin1String(folder)).removeRecursively();
        for (const QString& name : QDir(TestBinFolder()).entryList(QDir::Files))
            QFile::remove(TestBinFolder() + QLatin1Char('/') + name);
    }

    void allOptionsInstallEverything() {
        QCOMPARE(Install(source_, target_), 9);

        // D holds every file of the release folder, sub-folders and hidden files included, but
        // not the installer.
        for (const char* name :
             {"Tessarel_en", "Uninstall_en", "License.txt", "contents/home.html", "contents/help.html",
              "contents/images/arrow.gif", "contents/tessarel.log", ".hidden-note"})
            QVERIFY2(QFileInfo::exists(target_ + QLatin1Char('/') + QLatin1String(name)), name);
        QVERIFY(!QFileInfo::exists(SetupPath(target_)));
        QVERIFY(QFileInfo(ProgramPath(target_)).isExecutable());

        const QString link = ReadFile(DesktopLinkPath());
        QCOMPARE(DesktopLinkPath(), home_ + QStringLiteral("/Desktop/Tessarel.desktop"));
        QCOMPARE(EntryValue(link, QStringLiteral("Exec")), ProgramPath(target_));
        QVERIFY(QFileInfo(DesktopLinkPath()).isExecutable());
        const QString item = ReadFile(MenuFolder() + QStringLiteral("/Tessarel.desktop"));
        QCOMPARE(EntryValue(item, QStringLiteral("Name")), QStringLiteral("Tessarel"));
        QCOMPARE(EntryValue(item, QStringLiteral("Exec")), ProgramPath(target_));
        const QString uninstall = ReadFile(MenuFolder() + QStringLiteral("/Uninstall.desktop"));
        QCOMPARE(EntryValue(uninstall, QStringLiteral("Name")), QStringLiteral("Uninstall"));
        QCOMPARE(EntryValue(uninstall, QStringLiteral("Exec")), UninstallerPath(target_));
        QVERIFY(ReadFile(MenuMergeFile()).contains(QStringLiteral("Tessarel-Uninstall.desktop")));

        const QString folderEntry = ReadFile(FolderEntryPath());
        QCOMPARE(EntryValue(folderEntry, QStringLiteral("MimeType")), QStringLiteral("inode/directory;"));
        QCOMPARE(EntryValue(folderEntry, QStringLiteral("Name")), QStringLiteral("Tessarel..."));
        // The entry starts the installed program with the folder as its only argument.
        const QString folder = home_ + QStringLiteral("/My Documents/2024 $reports");
        QCOMPARE(LaunchOn(folderEntry, folder, target_), QStringList{folder});

        const QList<std::pair<const char*, QVariant>> settings = {
            {"StartupDirectory", target_},
            {"FontFace", QStringLiteral("Times New Roman")},
            {"ProgramDirectory", target_},
            {"groupByFiles", 1},
            {"UnlimitedResults", 0},
            {"LimitLeft", 1},
            {"ResultsPerFile", 4},
            {"FontSize", 12},
            {"FilesText", 1},
            {"FilesDoc", 1},
            {"FilesRtf", 1},
            {"FilesPdf", 1},
            {"FilesDocx", 1},
            {"FilesXlsx", 1},
            {"FilesPptx", 1},
            {"FilesOdt", 1},
            {"FilesOds", 1},
            {"FilesOdp", 1},
            {"FilesEpub", 1},
            {"FilesMail", 1},
            {"TextExtensions", QString::fromStdU16String(std::u16string(kTextExtensionsOfToday))},
            {"TextCache", 1},
            {"FilesImages", 1},
            {"Ocr", 0}};
        for (const auto& [key, value] : settings)
            QVERIFY2(Setting(QStringLiteral("Settings/") + QLatin1String(key)).toString() == value.toString(),
                     key);
        QCOMPARE(Setting(QStringLiteral("Explorer/Browse For Folder Width")).toInt(), 480);
        QCOMPARE(Setting(QStringLiteral("Explorer/Browse For Folder Height")).toInt(), 440);
        QCOMPARE(QSettings(QStringLiteral("Quendralight"), QStringLiteral("Tessarel")).fileName(),
                 home_ + QStringLiteral("/.config/Quendralight/Tessarel.conf"));

        QSettings manifest(ManifestPath(target_), QSettings::IniFormat);
        manifest.beginGroup(QStringLiteral("Uninstall"));
        QCOMPARE(manifest.value(QStringLiteral("DisplayIcon")).toString(), ProgramPath(target_));
        QCOMPARE(manifest.value(QStringLiteral("DisplayName")).toString(), QStringLiteral("Tessarel"));
        QCOMPARE(manifest.value(QStringLiteral("DisplayVersion")).toString(), QStringLiteral("1.1"));
        QCOMPARE(manifest.value(QStringLiteral("UninstallString")).toString(), UninstallerPath(target_));
        QCOMPARE(manifest.value(QStringLiteral("NoModify")).toInt(), 1);
        QCOMPARE(manifest.value(QStringLiteral("NoRepair")).toInt(), 1);
    }

    // Every entry names the icon and the window class of the program it starts, and passes the
    // freedesktop validator as written.
    void entriesAreValidAndNameTheIconAndTheWindowClass() {
        for (const char* fileManager : {"nautilus", "nemo", "dolphin"})
            WriteFile(TestBinFolder() + QLatin1Char('/') + QLatin1String(fileManager), "#!/bin/sh\n", true);
        QCOMPARE(Install(source_, target_), 9);
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        QVERIFY2(!validator.isEmpty(), "desktop-file-validate (desktop-file-utils) is not installed");

        const QMap<QString, QString> windowClasses = {
            {DesktopLinkPath(), kProgramWindowClass},
            {MenuFolder() + QStringLiteral("/Tessarel.desktop"), kProgramWindowClass},
            {MenuFolder() + QStringLiteral("/Uninstall.desktop"), kUninstallWindowClass},
            {FolderEntryPath(), kProgramWindowClass},
            {MenuDirectoryFile(), QString()},
        };
        for (auto it = windowClasses.begin(); it != windowClasses.end(); ++it) {
            const QString text = ReadFile(it.key());
            QCOMPARE(EntryValue(text, QStringLiteral("Icon")), QStringLiteral("tessarel"));
            QCOMPARE(EntryValue(text, QStringLiteral("StartupWMClass")), it.value());
        }
        // The file managers' own entries that are desktop entries too.
        const QString serviceMenu = FileManagerEntries().at(2).path;
        QCOMPARE(EntryValue(ReadFile(serviceMenu), QStringLiteral("Icon")), QStringLiteral("tessarel"));
        QCOMPARE(EntryValue(ReadFile(FileManagerEntries().at(1).path), QStringLiteral("Icon-Name")),
                 QStringLiteral("tessarel"));

        QStringList entries = windowClasses.keys();
        entries << serviceMenu;
        for (const QString& entry : entries) {
            QProcess validate;
            validate.setProcessChannelMode(QProcess::MergedChannels);
            validate.start(validator, {entry});
            QVERIFY(validate.waitForFinished(30000));
            QStringList complaints =
                QString::fromUtf8(validate.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            // Dolphin's service menus are a format of their own in this syntax: they need MimeType
            // and Actions beside Type=Service, which the validator allows only to applications.
            if (entry == serviceMenu)
                complaints.removeIf([](const QString& line) {
                    return line.contains(
                        QStringLiteral("but the type is \"Service\" while this key is only valid"));
                });
            QVERIFY2(complaints.isEmpty(),
                     qPrintable(entry + QLatin1Char('\n') + complaints.join(QLatin1Char('\n'))));
            if (entry != serviceMenu)
                QCOMPARE(validate.exitCode(), 0);
        }
    }

    // The icon, the manual page and the completion go where the desktop, man and bash look, and
    // tessarel-cli onto the PATH; the uninstaller takes them all and the folders they needed.
    void sharedFilesAndTheCommandAreInstalledAndRemoved() {
        QCOMPARE(Install(source_, target_), 9);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QCOMPARE(SharedDataPath(QStringLiteral("icons/hicolor/48x48/apps/tessarel.png")),
                 data + QStringLiteral("/icons/hicolor/48x48/apps/tessarel.png"));
        QCOMPARE(SharedDataPath(QStringLiteral("man/man1/tessarel-cli.1")),
                 home_ + QStringLiteral("/.local/share/man/man1/tessarel-cli.1"));
        for (const QString& relative : SharedDataFiles())
            QVERIFY2(ReadFile(SharedDataPath(relative)) == QStringLiteral("shared file ") + relative,
                     qPrintable(relative));

        QCOMPARE(CommandLauncherPath(), home_ + QStringLiteral("/.local/bin/tessarel-cli"));
        QVERIFY(QFileInfo(CommandLauncherPath()).isExecutable());
        const QStringList arguments{QStringLiteral("search"), QStringLiteral("my folder"),
                                    QStringLiteral("it's")};
        QCOMPARE(QProcess::execute(CommandLauncherPath(), arguments), 0);
        QCOMPARE(ReadFile(target_ + QStringLiteral("/cli-arguments.txt")),
                 arguments.join(QLatin1Char('\n')) + QLatin1Char('\n'));

        CUninstaller uninstaller(target_);
        QCOMPARE(uninstaller.load(), CUninstaller::LoadResult::Loaded);
        QVERIFY(uninstaller.run(false));
        for (const QString& relative : SharedDataFiles())
            QVERIFY2(!QFileInfo::exists(SharedDataPath(relative)), qPrintable(relative));
        QVERIFY(!QFileInfo::exists(CommandLauncherPath()));
        for (const char* folder : {"/icons", "/man", "/bash-completion"})
            QVERIFY2(!QFileInfo::exists(data + QLatin1String(folder)), folder);
    }

    // Without tessarel-cli in the release there is nothing for a launcher to start.
    void noCommandWithoutTheProgram() {
        QVERIFY(QFile::remove(CliPath(source_)));
        QCOMPARE(Install(source_, target_), 9);
        QVERIFY(!QFileInfo::exists(CommandLauncherPath()));
        QVERIFY(QFileInfo::exists(SharedDataPath(QStringLiteral("man/man1/tessarel-cli.1"))));
    }

    void optionsChooseTheSteps_data() {
        QTest::addColumn<int>("startMenu");
        QTest::addColumn<int>("desktop");
        QTest::addColumn<int>("contextMenu");
        QTest::addColumn<int>("steps");
        // Always: directory, copy, installer removal, folder picker size, uninstall entry.
        QTest::newRow("none") << 0 << 0 << 0 << 5;
        QTest::newRow("desktop only") << 0 << 1 << 0 << 6;
        QTest::newRow("menu only") << 1 << 0 << 0 << 7;
        QTest::newRow("context menu only") << 0 << 0 << 1 << 6;
    }

    void optionsChooseTheSteps() {
        QFETCH(int, startMenu);
        QFETCH(int, desktop);
        QFETCH(int, contextMenu);
        QFETCH(int, steps);
        QCOMPARE(Install(source_, target_, {startMenu, desktop, contextMenu}), steps);
        QVERIFY(QFileInfo::exists(ProgramPath(target_)));
        QCOMPARE(QFileInfo::exists(DesktopLinkPath()), desktop == 1);
        QCOMPARE(QFileInfo::exists(MenuFolder()), startMenu == 1);
        QCOMPARE(QFileInfo::exists(MenuFolder() + QStringLiteral("/Uninstall.desktop")), startMenu == 1);
        QCOMPARE(QFileInfo::exists(FolderEntryPath()), contextMenu == 1);
        QCOMPARE(Setting(QStringLiteral("Settings/ProgramDirectory")).toString(), target_);
        QVERIFY(QFileInfo::exists(ManifestPath(target_)));
    }

    void installingTwiceReplacesFilesAndResetsSettings() {
        QCOMPARE(Install(source_, target_), 9);
        {
            QSettings settings(QStringLiteral("Quendralight"), QStringLiteral("Tessarel"));
            settings.setValue(QStringLiteral("Settings/FontSize"), 20);
            settings.setValue(QStringLiteral("Settings/FilesPdf"), 0);
            settings.setValue(QStringLiteral("Settings/StartupDirectory"), QStringLiteral("/somewhere/else"));
        }
        WriteFile(target_ + QStringLiteral("/contents/home.html"), "changed by hand");
        WriteFile(source_ + QStringLiteral("/contents/help.html"), "<html>new help</html>");

        QCOMPARE(Install(source_, target_), 9);
        QCOMPARE(ReadFile(target_ + QStringLiteral("/contents/home.html")),
                 QStringLiteral("<html>home</html>"));
        QCOMPARE(ReadFile(target_ + QStringLiteral("/contents/help.html")),
                 QStringLiteral("<html>new help</html>"));
        QCOMPARE(Setting(QStringLiteral("Settings/FontSize")).toInt(), 12);
        QCOMPARE(Setting(QStringLiteral("Settings/FilesPdf")).toInt(), 1);
        QCOMPARE(Setting(QStringLiteral("Settings/StartupDirectory")).toString(), target_);
    }

    void directoryInsideTheSourceIsNotCopiedIntoItself() {
        const QString inside = source_ + QStringLiteral("/sub/Tessarel");
        QDir().mkpath(source_ + QStringLiteral("/loop"));
        QFile::link(source_, source_ + QStringLiteral("/loop/back"));
        QCOMPARE(Install(source_, inside), 9);
        QVERIFY(QFileInfo::exists(ProgramPath(inside)));
        QVERIFY(!QFileInfo::exists(inside + QStringLiteral("/sub/Tessarel")));
        QVERIFY(!QFileInfo::exists(inside + QStringLiteral("/loop/back")));
    }

    void installingFromDKeepsTheInstaller() {
        QCOMPARE(Install(source_, source_), 9);
        QVERIFY(QFileInfo::exists(SetupPath(source_)));
        QCOMPARE(Setting(QStringLiteral("Settings/ProgramDirectory")).toString(), source_);
        // The release folder is the installation: its files are recorded and removed with it.
        QCOMPARE(RunUninstaller(source_), 0);
        QVERIFY(!QFileInfo::exists(source_));
    }

    void blockedEntriesAreSkippedAndTheRestGoesOn() {
        // A file where the applications folder belongs stands for a place the user cannot write.
        WriteFile(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                      QStringLiteral("/applications"),
                  "not a folder");
        QCOMPARE(Install(source_, target_), 9 - 3 + 2);
        QVERIFY(!QFileInfo::exists(FolderEntryPath()));
        QVERIFY(QFileInfo::exists(DesktopLinkPath()));
        QVERIFY(QFileInfo::exists(ManifestPath(target_)));
        QCOMPARE(Setting(QStringLiteral("Settings/FontFace")).toString(), QStringLiteral("Times New Roman"));
    }

    void fileManagerScriptStartsTheProgramOnTheFolder() {
        WriteFile(TestBinFolder() + QStringLiteral("/nautilus"), "#!/bin/sh\n", true);
        QCOMPARE(Install(source_, target_, {0, 0, 1}), 6);
        const QString script = FileManagerEntries().first().path;
        QVERIFY(QFileInfo(script).isExecutable());
        const QString folder = home_ + QStringLiteral("/it's a folder");
        QDir().mkpath(folder);
        QCOMPARE(QProcess::execute(script, {folder}), 0);
        QCOMPARE(ReadFile(target_ + QStringLiteral("/arguments.txt")), folder + QLatin1Char('\n'));
        // The file manager passes the name within the folder it shows, where the script runs;
        // the program wants a whole path (and ignores an argument of under 4 characters).
        QDir().mkpath(home_ + QStringLiteral("/abc"));
        QProcess started;
        started.setWorkingDirectory(home_);
        started.start(script, {QStringLiteral("abc")});
        QVERIFY(started.waitForFinished());
        QCOMPARE(ReadFile(target_ + QStringLiteral("/arguments.txt")), home_ + QStringLiteral("/abc\n"));
        // Started on the folder's background, with nothing chosen, it searches the folder shown.
        started.start(script, {});
        QVERIFY(started.waitForFinished());
        QCOMPARE(ReadFile(target_ + QStringLiteral("/arguments.txt")), home_ + QStringLiteral("\n"));
        // File managers that are not there get no entry.
        QVERIFY(!QFileInfo::exists(FileManagerEntries().at(1).path));
    }

    void uninstallRemovesWhatTheInstallerMade() {
        QCOMPARE(Install(source_, target_), 9);
        WriteFile(target_ + QStringLiteral("/contents/content1.html"), "a result page");
        WriteFile(target_ + QStringLiteral("/my notes.txt"), "the user's own");

        CUninstaller uninstaller(target_);
        QCOMPARE(uninstaller.load(), CUninstaller::LoadResult::Loaded);
        QCOMPARE(uninstaller.directory(), target_);
        QVERIFY(uninstaller.run(false));

        for (const QString& entry : KnownEntryPaths())
            QVERIFY2(!QFileInfo::exists(entry), qPrintable(entry));
        QVERIFY(!QFileInfo::exists(MenuFolder()));
        QVERIFY(!QFileInfo::exists(ManifestPath(target_)));
        QVERIFY(!QFileInfo::exists(ProgramPath(target_)));
        QVERIFY(!QFileInfo::exists(target_ + QStringLiteral("/contents")));
        // The user's file and the settings stay.
        QCOMPARE(ReadFile(target_ + QStringLiteral("/my notes.txt")), QStringLiteral("the user's own"));
        QVERIFY(!uninstaller.directoryRemoved());
        QCOMPARE(Setting(QStringLiteral("Settings/FontSize")).toInt(), 12);
        QCOMPARE(CUninstaller(target_).load(), CUninstaller::LoadResult::NotInstalled);
    }

    void uninstallWithSettingsLeavesNothing() {
        QCOMPARE(Install(source_, target_), 9);
        CUninstaller uninstaller(target_);
        QCOMPARE(uninstaller.load(), CUninstaller::LoadResult::Loaded);
        QVERIFY(uninstaller.run(true));
        QVERIFY(uninstaller.directoryRemoved());
        QVERIFY(!QFileInfo::exists(target_));
        QVERIFY(!QFileInfo::exists(home_ + QStringLiteral("/.config/Quendralight/Tessarel.conf")));
    }

    void uninstallProgramRunsWithoutAskingWhenTold() {
        QCOMPARE(Install(source_, target_), 9);
        QCOMPARE(RunUninstaller(target_, {QStringLiteral("--remove-settings")}), 0);
        QVERIFY(!QFileInfo::exists(target_));
        QVERIFY(!QFileInfo::exists(DesktopLinkPath()));
        QVERIFY(!QFileInfo::exists(home_ + QStringLiteral("/.config/Quendralight/Tessarel.conf")));
        // Nothing left to remove: the uninstaller of a folder without a record says so.
        QCOMPARE(RunUninstaller(source_), 1);
    }

    void uninstallRefusesTheRecordOfAnotherFolder() {
        QCOMPARE(Install(source_, target_), 9);
        // The record of D rewritten to name the home folder with a file and an empty folder of the
        // user's there.
        const QString outside = home_ + QStringLiteral("/notes.txt");
        WriteFile(outside, "the user's");
        QDir().mkpath(home_ + QStringLiteral("/empty of the user"));
        QSettings record(RecordOf(target_), QSettings::IniFormat);
        record.setValue(QStringLiteral("Uninstall/InstallLocation"), home_);
        record.setValue(QStringLiteral("Uninstall/Files"), QStringList{QStringLiteral("notes.txt")});
        record.sync();

        QString errors;
        QCOMPARE(RunUninstaller(target_, {}, &errors), 1);
        QVERIFY2(errors.contains(home_), qPrintable(errors));
        QCOMPARE(ReadFile(outside), QStringLiteral("the user's"));
        QVERIFY(QFileInfo(home_ + QStringLiteral("/empty of the user")).isDir());
        QVERIFY(QFileInfo::exists(ProgramPath(target_)));
    }

    void uninstallRemovesOnlyWhatWasInstalled() {
        QCOMPARE(Install(source_, target_), 9);
        for (const char* folder : {"/empty", "/contents/mine", "/contents/images/more"})
            QDir().mkpath(target_ + QLatin1String(folder));
        WriteFile(target_ + QStringLiteral("/contents/images/mine.gif"), "GIF89a");
        QCOMPARE(RunUninstaller(target_), 0);
        QVERIFY(!QFileInfo::exists(ProgramPath(target_)));
        QVERIFY(!QFileInfo::exists(target_ + QStringLiteral("/contents/home.html")));
        for (const char* folder : {"/empty", "/contents/mine", "/contents/images/more"})
            QVERIFY2(QFileInfo(target_ + QLatin1String(folder)).isDir(), folder);
        QCOMPARE(ReadFile(target_ + QStringLiteral("/contents/images/mine.gif")), QStringLiteral("GIF89a"));
    }

    void installationsSideBySideKeepTheirRecords() {
        const QString second = work_->filePath(QStringLiteral("second/Tessarel"));
        QCOMPARE(Install(source_, target_), 9);
        QCOMPARE(Install(source_, second), 9);
        QVERIFY(RecordOf(target_) != RecordOf(second));

        // The first one goes alone; the links and entries point at the second and stay.
        QCOMPARE(RunUninstaller(target_), 0);
        QVERIFY(!QFileInfo::exists(target_));
        QVERIFY(QFileInfo::exists(ProgramPath(second)));
        QVERIFY(QFileInfo::exists(UninstallerPath(second)));
        QCOMPARE(EntryValue(ReadFile(DesktopLinkPath()), QStringLiteral("Exec")), ProgramPath(second));
        for (const QString& entry : KnownEntryPaths().mid(0, 6))
            QVERIFY2(QFileInfo::exists(entry), qPrintable(entry));

        QCOMPARE(RunUninstaller(second), 0);
        QVERIFY(!QFileInfo::exists(second));
        for (const QString& entry : KnownEntryPaths())
            QVERIFY2(!QFileInfo::exists(entry), qPrintable(entry));
        QVERIFY(!QFileInfo::exists(MenuFolder()));
    }

    void reinstallingKeepsTheEarlierEntries() {
        QCOMPARE(Install(source_, target_), 9);
        QCOMPARE(Install(source_, target_, {0, 0, 0}), 5);
        QCOMPARE(RunUninstaller(target_), 0);
        for (const QString& entry : KnownEntryPaths())
            QVERIFY2(!QFileInfo::exists(entry), qPrintable(entry));
        QVERIFY(!QFileInfo::exists(target_));
    }

    void failedRemovalsAreReportedAndTheRecordKept() {
        QCOMPARE(Install(source_, target_), 9);
        // An installed file replaced by a folder with something in it cannot be removed as a file.
        const QString help = target_ + QStringLiteral("/contents/help.html");
        QVERIFY(QFile::remove(help));
        WriteFile(help + QStringLiteral("/inside"), "x");
        QString errors;
        QCOMPARE(RunUninstaller(target_, {}, &errors), 2);
        QVERIFY2(errors.contains(help), qPrintable(errors));
        QVERIFY(!errors.contains(QStringLiteral("has been removed")));
        QVERIFY(QFileInfo::exists(RecordOf(target_)));
        QVERIFY(QFileInfo::exists(UninstallerPath(target_)));

        // Once the obstacle is gone, the same uninstaller finishes the work.
        QVERIFY(QDir(help).removeRecursively());
        QCOMPARE(RunUninstaller(target_), 0);
        QVERIFY(!QFileInfo::exists(target_));
        QVERIFY(!QFileInfo::exists(RecordOf(target_)));
    }

    void linksAtEntryPathsAreNotWrittenThrough() {
        WriteFile(TestBinFolder() + QStringLiteral("/nautilus"), "#!/bin/sh\n", true);
        const QStringList entries{DesktopLinkPath(), MenuFolder() + QStringLiteral("/Tessarel.desktop"),
                                  FolderEntryPath(), FileManagerEntries().first().path};
        for (int i = 0; i < entries.size(); ++i) {
            const QString victim = home_ + QStringLiteral("/victim") + QString::number(i);
            WriteFile(victim, "the user's file");
            QFile::setPermissions(victim, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QDir().mkpath(QFileInfo(entries[i]).absolutePath());
            QVERIFY(QFile::link(victim, entries[i]));
        }
        QVERIFY(Install(source_, target_) >= 0);
        for (int i = 0; i < entries.size(); ++i) {
            const QString victim = home_ + QStringLiteral("/victim") + QString::number(i);
            QVERIFY2(QFileInfo(entries[i]).isSymLink(), qPrintable(entries[i]));
            QCOMPARE(ReadFile(victim), QStringLiteral("the user's file"));
            QCOMPARE(QFileInfo(victim).permissions() & ~QFileDevice::Permissions(0x0f00),
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        // The other steps went on.
        QVERIFY(QFileInfo::exists(MenuFolder() + QStringLiteral("/Uninstall.desktop")));
        QCOMPARE(Setting(QStringLiteral("Settings/ProgramDirectory")).toString(), target_);
        // The uninstaller removes none of the links, nor what they point at.
        QCOMPARE(RunUninstaller(target_), 0);
        for (int i = 0; i < entries.size(); ++i)
            QVERIFY(QFileInfo(entries[i]).isSymLink());
    }

    void linkedFolderInsideDIsNotFollowed() {
        QCOMPARE(Install(source_, target_), 9);
        const QString elsewhere = home_ + QStringLiteral("/elsewhere");
        QVERIFY(QDir().rename(target_ + QStringLiteral("/contents"), elsewhere));
        QVERIFY(QFile::link(elsewhere, target_ + QStringLiteral("/contents")));
        WriteFile(source_ + QStringLiteral("/contents/help.html"), "<html>new help</html>");

        Install(source_, target_);
        QCOMPARE(ReadFile(elsewhere + QStringLiteral("/help.html")), QStringLiteral("<html>help</html>"));

        QString errors;
        QCOMPARE(RunUninstaller(target_, {}, &errors), 2);
        QVERIFY2(errors.contains(QStringLiteral("contents/home.html")), qPrintable(errors));
        for (const char* name : {"/home.html", "/help.html", "/images/arrow.gif", "/tessarel.log"})
            QVERIFY2(QFileInfo::exists(elsewhere + QLatin1String(name)), name);
    }

    void replacingAFileNeverLeavesDWithoutIt() {
        QCOMPARE(Install(source_, target_), 9);
        const QString installed = ReadFile(ProgramPath(target_));
        // A source whose reading fails halfway stands for an unreadable file or a full disk.
        QVERIFY(QFile::remove(ProgramPath(source_)));
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), ProgramPath(source_)));
        Install(source_, target_);
        QCOMPARE(ReadFile(ProgramPath(target_)), installed);
        QVERIFY(QFileInfo(ProgramPath(target_)).isExecutable());
        // No half-written file is left beside it.
        QCOMPARE(QDir(target_).entryList({QStringLiteral(".*new*")}, QDir::Files | QDir::Hidden),
                 QStringList{});
    }

    void installingChangesNoDefaultProgram() {
        if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
            QSKIP("xdg-mime is not installed (scripts/install-deps installs it)");
        // A profile whose folders open in a file manager of the system's.
        const QString system = home_ + QStringLiteral("/system-share");
        WriteFile(
            system + QStringLiteral("/applications/filer.desktop"),
            "[Desktop Entry]\nType=Application\nName=Filer\nExec=filer %U\nMimeType=inode/directory;\n");
        WriteFile(TestBinFolder() + QStringLiteral("/filer"), "#!/bin/sh\n", true);
        qputenv("XDG_DATA_DIRS", system.toLocal8Bit());
        const auto query = [] {
            QProcess xdgMime;
            xdgMime.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                                       QStringLiteral("inode/directory")});
            xdgMime.waitForFinished();
            return QString::fromUtf8(xdgMime.readAllStandardOutput()).trimmed();
        };
        const QString before = query();
        QCOMPARE(before, QStringLiteral("filer.desktop"));
        QCOMPARE(Install(source_, target_, {0, 0, 1}), 6);
        const QString after = query();
        qunsetenv("XDG_DATA_DIRS");
        QCOMPARE(after, before);
        // Tessarel is still offered for folders.
        QVERIFY(QFileInfo::exists(FolderEntryPath()));
    }

    void uninstallTakesNothingOutsideItsPlaces() {
        const QString outside = home_ + QStringLiteral("/outside.txt");
        WriteFile(outside, "keep");
        QDir().mkpath(target_);
        CInstallManifest forged(ManifestPath(target_));
        forged.installLocation = target_;
        forged.files = QStringList{QStringLiteral("../../../outside.txt"), outside};
        forged.folders = QStringList{QStringLiteral(".."), home_};
        forged.addEntry(outside, "keep");
        QVERIFY(forged.save());
        CUninstaller uninstaller(target_);
        QCOMPARE(uninstaller.load(), CUninstaller::LoadResult::Loaded);
        uninstaller.run(false);
        QCOMPARE(ReadFile(outside), QStringLiteral("keep"));

        // A manifest that names another folder as D, the root or the home folder, is refused.
        for (const QString& other : {QStringLiteral("/"), home_, target_ + QStringLiteral("/..")}) {
            forged.installLocation = other;
            QVERIFY(forged.save());
            QCOMPARE(CUninstaller(target_).load(), CUninstaller::LoadResult::OtherDirectory);
        }
    }

    void execArgumentsAreQuotedOnlyWhenNeeded_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/home/u/.local/share/Tessarel/Tessarel_en"
                               << "/home/u/.local/share/Tessarel/Tessarel_en";
        QTest::newRow("space") << "/home/u/My Programs/Tessarel_en"
                               << "\"/home/u/My Programs/Tessarel_en\"";
        QTest::newRow("dollar") << "/opt/a$b/Tessarel_en"
                                << "\"/opt/a\\\\$b/Tessarel_en\"";
        QTest::newRow("quote") << "/opt/a\"b/T"
                               << "\"/opt/a\\\\\"b/T\"";
        QTest::newRow("backslash") << "/opt/a\\b/T"
                                   << "\"/opt/a\\\\\\\\b/T\"";
        QTest::newRow("percent") << "/opt/100%/T"
                                 << "/opt/100%%/T";
    }

    void execArgumentsAreQuotedOnlyWhenNeeded() {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        QCOMPARE(ExecArgument(path), exec);
        QCOMPARE(ExecWords(ExecArgument(path) + QStringLiteral(" %f"), QStringLiteral("/x")),
                 (QStringList{path, QStringLiteral("/x")}));
    }
};

TESSAREL_INSTALLER_TEST_MAIN(InstallTest)
#include "InstallTest.moc"
