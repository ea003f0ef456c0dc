// The installation worker and the uninstaller, run against a temporary home.

#include "TestHome.h"

#include "installer/DesktopEntry.h"
#include "installer/InstallLayout.h"
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
    }

    void cleanup() {
        work_.reset();
        for (const char* folder : {"/.config", "/.local/share", "/Desktop"})
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
            {"FilesOdt", 1}};
        for (const auto& [key, value] : settings)
            QVERIFY2(Setting(QStringLiteral("Settings/") + QLatin1String(key)).toString() == value.toString(),
                     key);
        QCOMPARE(Setting(QStringLiteral("Explorer/Browse For Folder Width")).toInt(), 480);
        QCOMPARE(Setting(QStringLiteral("Explorer/Browse For Folder Height")).toInt(), 440);
        QCOMPARE(QSettings(QStringLiteral("Quendralight"), QStringLiteral("Tessarel")).fileName(),
                 home_ + QStringLiteral("/.config/Quendralight/Tessarel.conf"));

        QSettings manifest(ManifestPath(), QSettings::IniFormat);
        manifest.beginGroup(QStringLiteral("Uninstall"));
        QCOMPARE(manifest.value(QStringLiteral("DisplayIcon")).toString(), ProgramPath(target_));
        QCOMPARE(manifest.value(QStringLiteral("DisplayName")).toString(), QStringLiteral("Tessarel"));
        QCOMPARE(manifest.value(QStringLiteral("DisplayVersion")).toString(), QStringLiteral("1.1"));
        QCOMPARE(manifest.value(QStringLiteral("UninstallString")).toString(), UninstallerPath(target_));
        QCOMPARE(manifest.value(QStringLiteral("NoModify")).toInt(), 1);
        QCOMPARE(manifest.value(QStringLiteral("NoRepair")).toInt(), 1);
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
        QVERIFY(QFileInfo::exists(ManifestPath()));
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
    }

    void blockedEntriesAreSkippedAndTheRestGoesOn() {
        // A file where the applications folder belongs stands for a place the user cannot write.
        WriteFile(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                      QStringLiteral("/applications"),
                  "not a folder");
        QCOMPARE(Install(source_, target_), 9 - 3 + 2);
        QVERIFY(!QFileInfo::exists(FolderEntryPath()));
        QVERIFY(QFileInfo::exists(DesktopLinkPath()));
        QVERIFY(QFileInfo::exists(ManifestPath()));
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
        // File managers that are not there get no entry.
        QVERIFY(!QFileInfo::exists(FileManagerEntries().at(1).path));
    }

    void uninstallRemovesWhatTheInstallerMade() {
        QCOMPARE(Install(source_, target_), 9);
        WriteFile(target_ + QStringLiteral("/contents/content1.html"), "a result page");
        WriteFile(target_ + QStringLiteral("/my notes.txt"), "the user's own");

        CUninstaller uninstaller(ManifestPath());
        QVERIFY(uninstaller.load());
        QCOMPARE(uninstaller.directory(), target_);
        uninstaller.run(false);

        for (const QString& entry : KnownEntryPaths())
            QVERIFY2(!QFileInfo::exists(entry), qPrintable(entry));
        QVERIFY(!QFileInfo::exists(MenuFolder()));
        QVERIFY(!QFileInfo::exists(ManifestPath()));
        QVERIFY(!QFileInfo::exists(ProgramPath(target_)));
        QVERIFY(!QFileInfo::exists(target_ + QStringLiteral("/contents")));
        // The user's file and the settings stay.
        QCOMPARE(ReadFile(target_ + QStringLiteral("/my notes.txt")), QStringLiteral("the user's own"));
        QVERIFY(!uninstaller.directoryRemoved());
        QCOMPARE(Setting(QStringLiteral("Settings/FontSize")).toInt(), 12);
        QVERIFY(!CUninstaller(ManifestPath()).load());
    }

    void uninstallWithSettingsLeavesNothing() {
        QCOMPARE(Install(source_, target_), 9);
        CUninstaller uninstaller(ManifestPath());
        QVERIFY(uninstaller.load());
        uninstaller.run(true);
        QVERIFY(uninstaller.directoryRemoved());
        QVERIFY(!QFileInfo::exists(target_));
        QVERIFY(!QFileInfo::exists(home_ + QStringLiteral("/.config/Quendralight/Tessarel.conf")));
    }

    void uninstallProgramRunsWithoutAskingWhenTold() {
        QCOMPARE(Install(source_, target_), 9);
        QCOMPARE(QProcess::execute(QStringLiteral(TESSAREL_UNINSTALL_PROGRAM),
                                   {QStringLiteral("--yes"), QStringLiteral("--remove-settings")}),
                 0);
        QVERIFY(!QFileInfo::exists(target_));
        QVERIFY(!QFileInfo::exists(DesktopLinkPath()));
        QVERIFY(!QFileInfo::exists(home_ + QStringLiteral("/.config/Quendralight/Tessarel.conf")));
        // Nothing left to remove.
        QCOMPARE(QProcess::execute(QStringLiteral(TESSAREL_UNINSTALL_PROGRAM), {QStringLiteral("--yes")}), 1);
    }

    void uninstallTakesNothingOutsideItsPlaces() {
        const QString outside = home_ + QStringLiteral("/outside.txt");
        WriteFile(outside, "keep");
        QDir().mkpath(target_);
        {
            QDir().mkpath(QFileInfo(ManifestPath()).absolutePath());
            QSettings manifest(ManifestPath(), QSettings::IniFormat);
            manifest.setValue(QStringLiteral("Uninstall/InstallLocation"), target_);
            manifest.setValue(QStringLiteral("Uninstall/Files"),
                              QStringList{QStringLiteral("../../../outside.txt"), outside});
            manifest.setValue(QStringLiteral("Uninstall/Entries"), QStringList{outside});
        }
        CUninstaller uninstaller(ManifestPath());
        QVERIFY(uninstaller.load());
        uninstaller.run(false);
        QCOMPARE(ReadFile(outside), QStringLiteral("keep"));

        // A manifest that names the root as D is refused outright.
        QSettings manifest(ManifestPath(), QSettings::IniFormat);
        manifest.setValue(QStringLiteral("Uninstall/InstallLocation"), QStringLiteral("/"));
        manifest.sync();
        QVERIFY(!CUninstaller(ManifestPath()).load());
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
