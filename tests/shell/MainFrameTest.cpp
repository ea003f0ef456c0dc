// The main window and the view through their real widgets, on the offscreen platform.

#include "ShellFixture.h"

#include "shell/TessView.h"

#include <QCheckBox>
#include <QWebEngineHistory>

using namespace tessarel;
using namespace tessarel::testing;

class MainFrameTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<QSignalSpy> loads;
    QStringList opened;

    void makeFrame(const std::u16string& argument) {
        frame = std::make_unique<CMainFrame>(folder->store, folder->notifier, argument);
        frame->openDocument = [this](const QString& path) { opened << path; };
        loads = std::make_unique<QSignalSpy>(frame->view(), &CTessView::pageLoaded);
        frame->show();
    }
    QString sampleFolder() {
        return folder->documents({{QStringLiteral("kiwi.txt"), "A kiwi one. A kiwi two. A kiwi three.\r\nEnd of the kiwi list."},
                                  {QStringLiteral("notes.txt"), "Nothing of interest here, only apples."}});
    }
    // Searches and waits for the page of the results.
    bool search(const QString& text) {
        const qsizetype before = loads->count();
        frame->searchBox()->setText(text);
        frame->StartSearch();
        return WaitForPage(*frame, *loads, static_cast<int>(before) + 1);
    }

private slots:
    void init() {
        folder = std::make_unique<ProgramFolder>();
        opened.clear();
    }
    void cleanup() {
        loads.reset();
        frame.reset();
        folder.reset();
    }

    void startsOnHomeWithoutFolder() {
        makeFrame(u"");
        QVERIFY(WaitForPage(*frame, *loads));
        QCOMPARE(ShownName(*frame), QStringLiteral("home.html"));
        QVERIFY(frame->folderBox()->text().isEmpty());
        QVERIFY(!frame->catalog()->isRunning());
        QCOMPARE(frame->catalog()->count(), 0);
        QVERIFY(folder->notifier.texts().empty());
        // The first completed page puts the focus into the search box; later pages leave it.
        QCOMPARE(frame->focusWidget(), static_cast<QWidget*>(frame->searchBox()));
        frame->folderBox()->setFocus();
        frame->engineMessage(WM_SEARCH_WAITING, {});
        QVERIFY(WaitForPage(*frame, *loads, 2));
        QCOMPARE(frame->focusWidget(), static_cast<QWidget*>(frame->folderBox()));
        QCOMPARE(frame->windowTitle(), QStringLiteral("Tessarel 2.3"));
        // The window icon is the application's own drawing, at every size the theme has.
        const QList<QSize> iconSizes = frame->windowIcon().availableSizes();
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            QVERIFY2(iconSizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
        QCOMPARE(frame->windowIcon().pixmap(256).toImage().pixelColor(128, 128).alpha(), 255);
    }

    void commandLineFolderRule_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("argumentUsed");
        QTest::newRow("3 characters: the startup folder") << QStringLiteral("/tm") << false;
        QTest::newRow("4 characters: taken") << QStringLiteral("/tmq") << true;
    }
    void commandLineFolderRule() {
        QFETCH(QString, argument);
        QFETCH(bool, argumentUsed);
        const QString startup = sampleFolder();
        folder->store.writeString(kSettingsSection, "StartupDirectory", startup.toStdU16String());
        makeFrame(argument.toStdU16String());
        QCOMPARE(frame->folderBox()->text(), argumentUsed ? argument : startup);
        QVERIFY(WaitForReading(*frame));
        // At the end of the start-up reading run the home page is shown again.
        QTRY_COMPARE_WITH_TIMEOUT(ShownName(*frame), QStringLiteral("home.html"), 20000);
        if (argumentUsed) {
            // A 4-character path is refused by the catalogue with its own message.
            QCOMPARE(folder->notifier.texts().size(), std::size_t(1));
        } else {
            QCOMPARE(frame->catalog()->count(), 2);
        }
    }

    void startSearchGuards_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("    ");
        QTest::newRow("empty quotes") << QStringLiteral("\"\"");
    }
    void startSearchGuards() {
        QFETCH(QString, typed);
        makeFrame(u"");
        QVERIFY(WaitForPage(*frame, *loads));
        frame->searchBox()->setText(typed);
        frame->StartSearch();
        QCOMPARE(folder->notifier.texts().size(), std::size_t(1));
        QCOMPARE(folder->notifier.texts().front(), std::u16string(u"Please, enter search words."));
        QVERIFY(!frame->searcher().isRunning());
        QTest::qWait(200);
        QCOMPARE(ShownName(*frame), QStringLiteral("home.html"));
    }

    void queryIsCutTo199Units() {
        makeFrame(u"");
        frame->searchBox()->setMaxLength(1000);
        frame->searchBox()->setText(QString(300, QLatin1Char('k')));
        frame->StartSearch();
        QCOMPARE(frame->searcher().query.queryText().size(), std::size_t(199));
        frame->searcher().waitForEnd();
    }

    void resultsPerFileHandedToSearch_data() {
        QTest::addColumn<int>("unlimited");
        QTest::addColumn<int>("perFile");
        QTest::addColumn<int>("expected");
        QTest::newRow("unlimited wins over 7") << 1 << 7 << 20;
        QTest::newRow("unlimited wins over 3") << 1 << 3 << 20;
        QTest::newRow("3 per file") << 0 << 3 << 3;
        QTest::newRow("a stored 99 stays within 20") << 0 << 99 << 20;
    }
    void resultsPerFileHandedToSearch() {
        QFETCH(int, unlimited);
        QFETCH(int, perFile);
        QFETCH(int, expected);
        folder->store.writeInt(kSettingsSection, "UnlimitedResults", unlimited);
        folder->store.writeInt(kSettingsSection, "ResultsPerFile", perFile);
        makeFrame(u"");
        frame->searchBox()->setText(QStringLiteral("kiwi"));
        frame->StartSearch();
        QCOMPARE(frame->searcher().resultsPerFile, expected);
        frame->searcher().waitForEnd();
    }

    void engineMessageReactions() {
        makeFrame(u"");
        QVERIFY(WaitForPage(*frame, *loads));

        frame->engineMessage(WM_ENGINE_STATUS, u"Reading files... 40%");
        QCOMPARE(frame->statusText(), QStringLiteral("Reading files... 40%"));

        frame->engineMessage(WM_SEARCH_WAITING, {});
        QVERIFY(WaitForPage(*frame, *loads, 2));
        QCOMPARE(ShownName(*frame), QStringLiteral("content1.html"));
        QVERIFY(frame->view()->url().fragment().isEmpty());
        QVERIFY(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("<body>\nReading files...")));

        // After start-up the end of a reading run shows home; after a Browse, "Ready for search."
        frame->engineMessage(WM_READING_DONE, {});
        QVERIFY(WaitForPage(*frame, *loads, 3));
        QCOMPARE(ShownName(*frame), QStringLiteral("home.html"));
        frame->showHomeWhenRead = 0;
        frame->engineMessage(WM_READING_DONE, {});
        QVERIFY(WaitForPage(*frame, *loads, 4));
        QCOMPARE(ShownName(*frame), QStringLiteral("content2.html"));
        QCOMPARE(frame->view()->url().fragment(), QStringLiteral("point1"));
        QVERIFY(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("Ready for search.")));

        frame->resultsShown = false;
        frame->engineMessage(WM_SEARCH_DONE, {});
        QVERIFY(WaitForPage(*frame, *loads, 5));
        QVERIFY(frame->resultsShown);
        QCOMPARE(ShownName(*frame), QStringLiteral("content3.html"));
    }

    void handleLinkCutsTagsAndActsOnBothMarkers_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("openedPath");
        QTest::newRow("plain") << QStringLiteral("file:///p/contents/open#/home/u/a b.pdf")
                               << QStringLiteral("/home/u/a b.pdf");
        QTest::newRow("a tag in the target") << QStringLiteral("file:///c/open#/d/<span class=searched>kiwi</span>.txt")
                                             << QStringLiteral("/d/kiwi.txt");
        // The text between them doubles at every round: 2^10 after the last.
        QTest::newRow("\">\" before \"<\", ten rounds at most")
            << QStringLiteral("open#a>b<c") << (QStringLiteral("a>") + QString(1024, QLatin1Char('b')) + QStringLiteral("<c"));
        QTest::newRow("no open marker") << QStringLiteral("file:///c/contents/home.html") << QString();
    }
    void handleLinkCutsTagsAndActsOnBothMarkers() {
        QFETCH(QString, address);
        QFETCH(QString, openedPath);
        makeFrame(u"");
        frame->HandleLink(address.toStdU16String());
        QCOMPARE(opened, openedPath.isEmpty() ? QStringList() : QStringList{openedPath});
    }

    void showLinksFollowResultsShown() {
        makeFrame(sampleFolder().toStdU16String());
        QVERIFY(WaitForReading(*frame));
        QVERIFY(search(QStringLiteral("kiwi")));
        const QString results = PageFileText(frame->view()->url().toLocalFile());
        QVERIFY2(results.contains(QStringLiteral("kiwi.txt")), qPrintable(results.left(3000)));
        // The fault of the old scan step: three sentences, three hits.
        QCOMPARE(results.count(QStringLiteral("href=\"show#")), 4);

        // Both markers in one address: both actions.
        const qsizetype before = loads->count();
        frame->HandleLink(u"file:///x/contents/open#/tmp/a.txt show#0#start0#length5");
        QCOMPARE(opened.size(), 1);
        QVERIFY(WaitForPage(*frame, *loads, static_cast<int>(before) + 1));
        QCOMPARE(frame->view()->url().fragment(), QStringLiteral("point1"));
        QVERIFY(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("<a name=\"point1\">")));

        // A Browse clears the flag: links of the old results do nothing, Back and Forward are off.
        frame->chooseFolder = [this](QWidget*, const QString&) { return std::optional<QString>(sampleFolder()); };
        frame->Browse();
        QVERIFY(!frame->resultsShown);
        QCOMPARE(frame->showHomeWhenRead, 0);
        QVERIFY(!frame->action(ID_BACK)->isEnabled());
        QVERIFY(!frame->action(ID_FORWARD)->isEnabled());
        QVERIFY(WaitForReading(*frame));
        QTRY_VERIFY_WITH_TIMEOUT(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("Ready for search.")), 20000);
        const int shownPages = frame->view()->pageNumber();
        frame->HandleLink(u"file:///x/contents/show#0#start0#length5");
        QTest::qWait(300);
        QCOMPARE(frame->view()->pageNumber(), shownPages);
        QVERIFY(search(QStringLiteral("kiwi")));
        QVERIFY(frame->resultsShown);

        // A cancelled Browse changes nothing but showHomeWhenRead.
        frame->showHomeWhenRead = 1;
        frame->chooseFolder = [](QWidget*, const QString&) { return std::optional<QString>(); };
        frame->Browse();
        QCOMPARE(frame->showHomeWhenRead, 0);
        QVERIFY(frame->resultsShown);
    }

    void pagesAreNumberedAndBackReturnsHome() {
        makeFrame(sampleFolder().toStdU16String());
        QVERIFY(WaitForReading(*frame));
        QTRY_COMPARE_WITH_TIMEOUT(ShownName(*frame), QStringLiteral("home.html"), 20000);
        for (const char* expected : {"content1.html", "content2.html", "content3.html"}) {
            QVERIFY(search(QStringLiteral("kiwi")));
            QCOMPARE(ShownName(*frame), QString::fromLatin1(expected));
            QVERIFY(frame->view()->url().fragment().isEmpty());
        }
        QTRY_VERIFY(frame->action(ID_BACK)->isEnabled());
        QVERIFY(!frame->action(ID_FORWARD)->isEnabled());
        for (const char* expected : {"content2.html", "content1.html", "home.html"}) {
            const qsizetype before = loads->count();
            frame->action(ID_BACK)->trigger();
            QVERIFY(WaitForPage(*frame, *loads, static_cast<int>(before) + 1));
            QCOMPARE(ShownName(*frame), QString::fromLatin1(expected));
        }
        QTRY_VERIFY(!frame->action(ID_BACK)->isEnabled());
        QVERIFY(frame->action(ID_FORWARD)->isEnabled());
    }

    void editCommandsFollowTheFocus() {
        makeFrame(u"");
        QVERIFY(WaitForPage(*frame, *loads));
        frame->activateWindow();
        frame->searchBox()->setText(QStringLiteral("kiwi apple"));
        frame->searchBox()->setFocus();
        QTRY_VERIFY(frame->searchBox()->hasFocus());
        frame->searchBox()->selectAll();
        frame->action(ID_CUT)->trigger();
        QVERIFY(frame->searchBox()->text().isEmpty());
        frame->action(ID_PASTE)->trigger();
        QCOMPARE(frame->searchBox()->text(), QStringLiteral("kiwi apple"));
        // With the focus elsewhere Cut and Paste leave the box alone.
        frame->view()->setFocus();
        QTRY_VERIFY(!frame->searchBox()->hasFocus());
        frame->action(ID_PASTE)->trigger();
        frame->action(ID_CUT)->trigger();
        QCOMPARE(frame->searchBox()->text(), QStringLiteral("kiwi apple"));
        frame->action(ID_FILE_NEW)->trigger();
        QVERIFY(frame->searchBox()->text().isEmpty());
        QVERIFY(!frame->action(ID_EDIT_UNDO)->isEnabled());
        QVERIFY(frame->action(ID_STOP)->isEnabled());
        frame->action(ID_FIND)->trigger();
        QVERIFY(frame->view()->findChild<CFindDialog*>());
        QVERIFY(frame->view()->findChild<CFindDialog*>()->isVisible());
        QCOMPARE(frame->view()->contextMenuPolicy(), Qt::NoContextMenu);
    }

    void aRunAskedForDuringARunFollowsIt() {
        makeFrame(u"");
        const QString first = sampleFolder();
        QTemporaryDir second;
        QFile one(second.path() + QStringLiteral("/one.txt"));
        QVERIFY(one.open(QIODevice::WriteOnly));
        one.write("kiwi alone.");
        one.close();
        frame->showHomeWhenRead = 0;
        frame->StartReadingRun(first.toStdU16String());
        frame->StartReadingRun(second.path().toStdU16String());
        QVERIFY(QTest::qWaitFor([&] { return frame->catalog()->folder == second.path().toStdU16String() &&
                                            !frame->catalog()->isRunning(); }, 30000));
        QVERIFY(WaitForReading(*frame));
        QCOMPARE(frame->catalog()->count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("Ready for search.")), 20000);
        QVERIFY(search(QStringLiteral("kiwi")));
        QVERIFY(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("one.txt")));
    }

    void saveAsAndOpenAPage() {
        makeFrame(sampleFolder().toStdU16String());
        QVERIFY(WaitForReading(*frame));
        QVERIFY(search(QStringLiteral("kiwi")));
        const QString results = frame->view()->url().toLocalFile();
        int asked = 0;
        const QString saved = folder->dir.path() + QStringLiteral("/saved.html");
        frame->chooseSaveFile = [&](QWidget*) {
            ++asked;
            return saved;
        };
        frame->action(ID_FILE_SAVE_AS)->trigger();
        QCOMPARE(asked, 1);
        QFile savedFile(saved);
        QVERIFY(savedFile.open(QIODevice::ReadOnly));
        QFile shownFile(results);
        QVERIFY(shownFile.open(QIODevice::ReadOnly));
        QCOMPARE(savedFile.readAll(), shownFile.readAll());
        // Save of the same page writes to the same file without asking again.
        QFile::remove(saved);
        frame->action(ID_FILE_SAVE)->trigger();
        QCOMPARE(asked, 1);
        QVERIFY(QFile::exists(saved));

        frame->chooseOpenFile = [&](QWidget*) { return saved; };
        const qsizetype before = loads->count();
        frame->action(ID_FILE_OPEN)->trigger();
        QVERIFY(WaitForPage(*frame, *loads, static_cast<int>(before) + 1));
        QCOMPARE(ShownName(*frame), QStringLiteral("opened1.html"));
        QVERIFY(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("kiwi.txt")));
        // A cancelled Open changes nothing.
        frame->chooseOpenFile = [](QWidget*) { return QString(); };
        frame->action(ID_FILE_OPEN)->trigger();
        QTest::qWait(200);
        QCOMPARE(ShownName(*frame), QStringLiteral("opened1.html"));
    }

    void contentsGuardServesImagesCaseBlind() {
        ContentsGuard guard;
        guard.setContentsFolder(folder->contents());
        const QString images = QFileInfo(folder->contents()).canonicalFilePath() + QStringLiteral("/images/");
        QCOMPARE(guard.servedPath(folder->contents() + QStringLiteral("/images/PDF.gif")),
                 std::optional<QString>(images + QStringLiteral("pdf.gif")));
        QCOMPARE(guard.servedPath(folder->contents() + QStringLiteral("/images/Docx.GIF")),
                 std::optional<QString>(images + QStringLiteral("docx.gif")));
        QVERIFY(!guard.servedPath(folder->contents() + QStringLiteral("/../secret.html")));
        QVERIFY(!guard.servedPath(QStringLiteral("/etc/passwd")));
        QVERIFY(guard.servedPath(folder->contents() + QStringLiteral("/home.html")));
    }

    void addressesAreDecoded() {
        QCOMPARE(DecodedAddress(QUrl(QStringLiteral("file:///c/contents/open#/a%20b/100%25.txt"))),
                 std::u16string(u"file:///c/contents/open#/a b/100%.txt"));
        QCOMPARE(DecodedAddress(QUrl::fromLocalFile(QStringLiteral("/c/д.txt"))), std::u16string(u"file:///c/д.txt"));
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    MainFrameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainFrameTest.moc"
