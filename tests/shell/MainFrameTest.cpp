// The main window and the view through their real widgets, on the offscreen platform.

#include "ShellFixture.h"

#include "shell/TessView.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QTimer>
#include <QToolBar>
#include <QWebEngineHistory>

#include <atomic>
#include <chrono>
#include <thread>

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

    // The next reading run waits at its first message until releaseReading is set.
    std::atomic<bool> releaseReading{false};
    std::atomic<int> readingMessages{0};
    void holdNextReadingRun() {
        releaseReading = false;
        readingMessages = 0;
        frame->runs().afterPost = [this](RunCoordinator::Kind kind, std::uint32_t) {
            if (kind != RunCoordinator::Reading || readingMessages.fetch_add(1) != 0)
                return;
            for (int waited = 0; !releaseReading && waited < 20000; waited += 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        };
    }
    QString secondFolder(QTemporaryDir& dir) {
        QFile one(dir.path() + QStringLiteral("/one.txt"));
        one.open(QIODevice::WriteOnly);
        one.write("kiwi alone.");
        return dir.path();
    }
    bool showsReadyPage() {
        return QTest::qWaitFor(
            [&] {
                return PageFileText(frame->view()->url().toLocalFile())
                    .contains(QStringLiteral("Ready for search."));
            },
            20000);
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

    void addressWithoutTags() {
        QCOMPARE(AddressWithoutTags(u"open#/d/<span class=searched>kiwi</span>.txt"),
                 std::u16string(u"open#/d/kiwi.txt"));
        // The text between them doubles at every round: 2^10 after the last.
        QCOMPARE(AddressWithoutTags(u"open#a>b<c"), u"open#a>" + std::u16string(1024, u'b') + u"<c");
    }

    // %1 stands for the folder of the catalogue.
    void handleLinkCutsTagsAndOpensOnlyCataloguedDocuments_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("openedPath");
        QTest::newRow("plain") << QStringLiteral("file:///p/contents/open#%1/a b.txt")
                               << QStringLiteral("%1/a b.txt");
        QTest::newRow("a tag in the target")
            << QStringLiteral("file:///c/open#%1/<span class=searched>kiwi</span>.txt")
            << QStringLiteral("%1/kiwi.txt");
        QTest::newRow("outside the catalogue") << QStringLiteral("file:///c/open#/etc/passwd") << QString();
        QTest::newRow("beside a catalogued document")
            << QStringLiteral("file:///c/open#%1/kiwi.tx") << QString();
        QTest::newRow("no open marker") << QStringLiteral("file:///c/contents/home.html") << QString();
    }
    void handleLinkCutsTagsAndOpensOnlyCataloguedDocuments() {
        QFETCH(QString, address);
        QFETCH(QString, openedPath);
        folder->documents({{QStringLiteral("a b.txt"), "a b"}});
        const QString documents = sampleFolder();
        makeFrame(documents.toStdU16String());
        QVERIFY(WaitForReading(*frame));
        QTRY_COMPARE_WITH_TIMEOUT(ShownName(*frame), QStringLiteral("home.html"), 20000);
        frame->HandleLink(QString(address).replace(QStringLiteral("%1"), documents).toStdU16String());
        QCOMPARE(opened, openedPath.isEmpty() ? QStringList() : QStringList{openedPath.arg(documents)});
    }

    void showLinksFollowResultsShown() {
        // A document whose own name holds a "show#" link.
        folder->documents({{QStringLiteral("both show#0#start0#length5.txt"), "nothing"}});
        makeFrame(sampleFolder().toStdU16String());
        QVERIFY(WaitForReading(*frame));
        QVERIFY(search(QStringLiteral("kiwi")));
        const QString results = PageFileText(frame->view()->url().toLocalFile());
        QVERIFY2(results.contains(QStringLiteral("kiwi.txt")), qPrintable(results.left(3000)));
        // The fault of the old scan step: three sentences, three hits.
        QCOMPARE(results.count(QStringLiteral("href=\"show#")), 4);

        // Both markers in one address: both actions.
        const qsizetype before = loads->count();
        const QString both = folder->dir.path() + QStringLiteral("/documents/both show#0#start0#length5.txt");
        frame->HandleLink((QStringLiteral("file:///x/contents/open#") + both).toStdU16String());
        QCOMPARE(opened, QStringList{both});
        QVERIFY(WaitForPage(*frame, *loads, static_cast<int>(before) + 1));
        QCOMPARE(frame->view()->url().fragment(), QStringLiteral("point1"));
        QVERIFY(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("<a name=\"point1\">")));

        // A Browse clears the flag: links of the old results do nothing, Back and Forward are off.
        frame->chooseFolder = [this](QWidget*, const QString&) { return std::optional<QString>(sampleFolder()); };
        frame->browse();
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
        frame->browse();
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

    void aRunIsServedWhenItsThreadEndsAfterItsLastMessage() {
        makeFrame(u"");
        QVERIFY(WaitForPage(*frame, *loads));
        frame->showHomeWhenRead = 0;
        // Each worker is held a while after its last message, so that message is handled first.
        std::atomic<bool> readingDonePosted{false};
        frame->runs().afterPost = [&](RunCoordinator::Kind kind, std::uint32_t message) {
            if ((kind == RunCoordinator::Search && message == WM_ENGINE_STATUS) ||
                (kind == RunCoordinator::Reading && message == WM_READING_DONE)) {
                readingDonePosted = kind == RunCoordinator::Reading;
                std::this_thread::sleep_for(std::chrono::milliseconds(600));
            }
        };
        frame->StartReadingRun(sampleFolder().toStdU16String());
        QVERIFY(QTest::qWaitFor([&] { return readingDonePosted.load(); }, 30000));
        QVERIFY(showsReadyPage());

        // The finished search's page appears, though its thread still runs when its message comes.
        QVERIFY(search(QStringLiteral("kiwi")));
        QVERIFY(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("kiwi.txt")));
        QTRY_VERIFY(frame->statusText().startsWith(QStringLiteral("1 results")));

        // A run asked for after the last run's end message but before its thread has ended starts.
        readingDonePosted = false;
        frame->StartReadingRun(sampleFolder().toStdU16String());
        QVERIFY(QTest::qWaitFor([&] { return readingDonePosted.load(); }, 30000));
        QTest::qWait(50);
        QTemporaryDir second;
        frame->StartReadingRun(secondFolder(second).toStdU16String());
        QVERIFY(QTest::qWaitFor(
            [&] {
                return frame->catalog()->folder == second.path().toStdU16String() &&
                       !frame->catalog()->isRunning() && frame->catalog()->count() == 1;
            },
            30000));
        QVERIFY(showsReadyPage());
    }

    void aLimitThatLeftDocumentsUnreadIsShownBesideTheClosingText() {
        folder->store.writeInt(kSettingsSection, "MaxDocuments", 1);
        makeFrame(u"");
        QVERIFY(WaitForPage(*frame, *loads));
        frame->showHomeWhenRead = 0;
        frame->StartReadingRun(sampleFolder().toStdU16String());
        QVERIFY(showsReadyPage());
        QCOMPARE(frame->statusText(), QStringLiteral("1 files have been processed."));
        QCOMPARE(frame->limitText(),
                 QStringLiteral("1 documents were read; the folder holds more: raise MaxDocuments to read them"));
        // A later run that reads everything takes the notice away.
        folder->store.writeInt(kSettingsSection, "MaxDocuments", 0);
        QTemporaryDir second;
        frame->StartReadingRun(secondFolder(second).toStdU16String());
        QTRY_VERIFY_WITH_TIMEOUT(!frame->catalog()->isRunning() && frame->catalog()->count() == 1, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(frame->limitText().isEmpty(), 30000);
    }

    void aSearchOvertakenByANewFolderShowsNothing() {
        makeFrame(u"");
        QVERIFY(WaitForPage(*frame, *loads));
        // The reading run is held at its first message until the folder has been changed.
        holdNextReadingRun();
        frame->StartReadingRun(sampleFolder().toStdU16String());
        QVERIFY(search(QStringLiteral("kiwi")));
        QVERIFY(
            PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("Reading files...")));
        QTemporaryDir second;
        const QString chosen = secondFolder(second);
        frame->chooseFolder = [&](QWidget*, const QString&) { return std::optional<QString>(chosen); };
        frame->browse();
        releaseReading = true;
        QVERIFY(QTest::qWaitFor(
            [&] {
                return frame->catalog()->folder == chosen.toStdU16String() && !frame->catalog()->isRunning();
            },
            30000));
        QVERIFY(showsReadyPage());
        QTest::qWait(300);
        QVERIFY(!frame->resultsShown);
        QVERIFY(!frame->searcher().isRunning());
        for (int n = 1; n < frame->view()->pageNumber(); ++n)
            QVERIFY(!PageFileText(frame->view()->contentsFolder() + QStringLiteral("/content%1.html").arg(n))
                         .contains(QStringLiteral("show#")));
        // The old page's links do nothing.
        const int pages = frame->view()->pageNumber();
        frame->HandleLink(u"file:///x/contents/show#0#start0#length5");
        QTest::qWait(300);
        QCOMPARE(frame->view()->pageNumber(), pages);
    }

    void aSearchAskedForWhileTheFolderChangesSearchesTheNewOne() {
        makeFrame(u"");
        QVERIFY(WaitForPage(*frame, *loads));
        holdNextReadingRun();
        frame->StartReadingRun(sampleFolder().toStdU16String());
        QTemporaryDir second;
        frame->StartReadingRun(secondFolder(second).toStdU16String());
        frame->searchBox()->setText(QStringLiteral("kiwi"));
        frame->StartSearch();
        releaseReading = true;
        QTRY_VERIFY_WITH_TIMEOUT(
            PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("one.txt")), 30000);
        QVERIFY(frame->resultsShown);
    }

    void clickedLinksOnlyAndOnlyToCataloguedDocuments() {
        const QString documents = sampleFolder();
        const QString kiwi = documents + QStringLiteral("/kiwi.txt");
        makeFrame(documents.toStdU16String());
        QVERIFY(WaitForReading(*frame));
        QTRY_COMPARE_WITH_TIMEOUT(ShownName(*frame), QStringLiteral("home.html"), 20000);

        // A page opened from elsewhere that sends itself to a document's link acts on nothing.
        const QString refresh = folder->dir.path() + QStringLiteral("/refresh.html");
        QFile page(refresh);
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write(QStringLiteral("<html><head><meta http-equiv=\"refresh\" content=\"0;url=open#%1\"></head>"
                                  "<body>moving on</body></html>")
                       .arg(kiwi)
                       .toUtf8());
        page.close();
        frame->chooseOpenFile = [&](QWidget*) { return refresh; };
        qsizetype before = loads->count();
        frame->action(ID_FILE_OPEN)->trigger();
        QVERIFY(WaitForPage(*frame, *loads, static_cast<int>(before) + 1));
        QTest::qWait(1500);
        QVERIFY2(opened.isEmpty(), qPrintable(opened.join(QLatin1Char(' '))));

        // A click on a link opens a catalogued document, and nothing outside the catalogue.
        auto clickLinkTo = [&](const QString& path) {
            const qsizetype shown = loads->count();
            frame->view()->ShowPage(
                (QStringLiteral("<a href=\"open#%1\" style=\"display:block;width:600px;height:400px\">"
                                "the link</a>")
                     .arg(path))
                    .toStdU16String(),
                false);
            QVERIFY(WaitForPage(*frame, *loads, static_cast<int>(shown) + 1));
            QWidget* surface = frame->view()->focusProxy();
            QVERIFY(surface);
            QTest::mouseMove(surface, QPoint(100, 100));
            QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(100, 100));
            QTest::qWait(700);
        };
        clickLinkTo(QStringLiteral("/etc/passwd"));
        QVERIFY(opened.isEmpty());
        clickLinkTo(kiwi);
        QCOMPARE(opened, QStringList{kiwi});
    }

    void theBarsAreFixed() {
        makeFrame(u"");
        QVERIFY(frame->createPopupMenu() == nullptr);
        const QList<QToolBar*> bars = frame->findChildren<QToolBar*>();
        QCOMPARE(bars.size(), 4);
        bool popped = false;
        for (QToolBar* bar : bars) {
            QVERIFY(!bar->isMovable());
            QVERIFY(!bar->isFloatable());
            // A right click on a bar shows no menu that could hide it.
            QTimer::singleShot(300, [&popped] {
                if (QWidget* popup = QApplication::activePopupWidget()) {
                    popped = true;
                    popup->close();
                }
            });
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3), bar->mapToGlobal(QPoint(3, 3)));
            QApplication::sendEvent(bar, &event);
            QTest::qWait(400);
            QVERIFY(!popped);
        }
        // View > Toolbars still hides and shows the main toolbar, and only it.
        QToolBar* main = frame->findChild<QToolBar*>(QStringLiteral("Toolbar"));
        QVERIFY(main && main->isVisible());
        frame->action(ID_VIEW_TOOLBAR)->trigger();
        QVERIFY(!main->isVisible());
        QVERIFY(frame->searchPanel()->isVisible());
        frame->action(ID_VIEW_TOOLBAR)->trigger();
        QVERIFY(main->isVisible());
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
