// The real program under a display: start-up on the sample folder through the settings store
// and the command line, a search, a "show#" link followed through the view's navigation hook,
// Back to the results; each step's window is captured and checked not to be blank.

#include "ShellFixture.h"

#include "shell/TessApp.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QWindow>

#include <cstdlib>

using namespace tessarel;
using namespace tessarel::testing;

namespace {

QTemporaryDir* gConfig = nullptr;

// Pixels within a small distance of `colour`.
int PixelsNear(const QImage& image, QColor colour, int distance = 60) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) < distance)
                ++n;
        }
    return n;
}

// The share of the most frequent colour; a blank capture is one colour.
double MainColourShare(const QImage& image) {
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    int most = 0;
    for (int c : counts)
        most = std::max(most, c);
    return static_cast<double>(most) / (image.width() * image.height());
}

QImage Capture(CMainFrame& frame, const QString& name) {
    // Let the compositor paint the new page.
    QTest::qWait(1500);
    // The window with the title bar a window manager gives it, as the user sees it; under a bare
    // display the frame is the window itself.
    const QRect outer = frame.frameGeometry();
    const QImage image =
        frame.screen()->grabWindow(0, outer.x(), outer.y(), outer.width(), outer.height()).toImage();
    const QByteArray dir = qgetenv("TESSAREL_SCREENSHOT_DIR");
    image.save((dir.isEmpty() ? QStringLiteral(".") : QString::fromLocal8Bit(dir)) + QLatin1Char('/') + name);
    return image;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void searchShowTextAndBack() {
        CTessApp* app = static_cast<CTessApp*>(QCoreApplication::instance());
        CMainFrame* frame = app->mainFrame();
        QVERIFY(frame);
        QSignalSpy loads(frame->view(), &CTessView::pageLoaded);
        QVERIFY(WaitForReading(*frame));
        QVERIFY(frame->catalog()->count() >= 10);
        QTRY_COMPARE_WITH_TIMEOUT(ShownName(*frame), QStringLiteral("home.html"), 20000);

        // Typed and entered as a user does.
        frame->activateWindow();
        frame->searchBox()->setFocus();
        QTest::keyClicks(frame->searchBox(), QStringLiteral("licen"));
        const qsizetype before = loads.count();
        QTest::keyClick(frame->searchBox(), Qt::Key_Return);
        QVERIFY(WaitForPage(*frame, loads, static_cast<int>(before) + 1));
        const QString resultsFile = frame->view()->url().toLocalFile();
        QCOMPARE(QFileInfo(resultsFile).fileName(), QStringLiteral("content1.html"));
        const QString results = PageFileText(resultsFile);
        QStringList icons;
        for (const QRegularExpressionMatch& m : QRegularExpression(QStringLiteral("src=\"images/(\\w+)\\.gif")).globalMatch(results))
            if (!icons.contains(m.captured(1)))
                icons << m.captured(1);
        // Results come from the Word, PDF, PowerPoint, HTML and plain-text readers alike.
        for (const char* icon : {"txt", "html", "pdf", "doc", "pptx"})
            QVERIFY2(icons.contains(QLatin1String(icon)), qPrintable(icons.join(u' ')));
        QVERIFY(frame->statusText().contains(QStringLiteral("results")));
        QTRY_VERIFY(frame->action(ID_BACK)->isEnabled());
        frame->view()->resize(frame->view()->size());
        const QImage resultsShot = Capture(*frame, QStringLiteral("main-window.png"));
        QVERIFY(MainColourShare(resultsShot) < 0.97);
        QVERIFY2(PixelsNear(resultsShot, QColor(0xFD, 0, 0)) > 20, "marked search words");

        // A click on the first file name opens the document and leaves the page as it is.
        QStringList opened;
        frame->openDocument = [&](const QString& path) { opened << path; };
        QWidget* surface = frame->view()->focusProxy() ? frame->view()->focusProxy() : frame->view();
        for (int y : {18, 14, 22, 10, 26}) {
            QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(60, y));
            if (QTest::qWaitFor([&] { return !opened.isEmpty(); }, 1500))
                break;
        }
        QCOMPARE(opened.size(), 1);
        QVERIFY2(QFileInfo::exists(opened.front()) && opened.front().startsWith(QStringLiteral(TESSAREL_SOURCE_DIR "/samples/")),
                 qPrintable(opened.front()));
        QTest::qWait(300);
        QCOMPARE(ShownName(*frame), QStringLiteral("content1.html"));

        // A click on the first fragment: the line under the first document's header.
        QVERIFY(results.contains(QStringLiteral("href=\"show#")));
        const qsizetype beforeShow = loads.count();
        for (int y : {53, 48, 58, 43, 63, 68}) {
            QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(120, y));
            if (QTest::qWaitFor([&] { return loads.count() > beforeShow; }, 2500))
                break;
        }
        QVERIFY(WaitForPage(*frame, loads, static_cast<int>(beforeShow) + 1));
        QCOMPARE(ShownName(*frame), QStringLiteral("content2.html"));
        QCOMPARE(frame->view()->url().fragment(), QStringLiteral("point1"));
        const QImage textShot = Capture(*frame, QStringLiteral("text-page.png"));
        QVERIFY(MainColourShare(textShot) < 0.97);
        QVERIFY2(PixelsNear(textShot, QColor(0x43, 0x95, 0x49)) > 20, "the fragment is in view");

        // Back returns to the results.
        QVERIFY(frame->action(ID_BACK)->isEnabled());
        const qsizetype beforeBack = loads.count();
        frame->action(ID_BACK)->trigger();
        QVERIFY(WaitForPage(*frame, loads, static_cast<int>(beforeBack) + 1));
        QCOMPARE(ShownName(*frame), QStringLiteral("content1.html"));
    }

    // The class a launcher's StartupWMClass must name, as the display server has it.
    void windowClassIsTheApplicationName() {
        CMainFrame* frame = static_cast<CTessApp*>(QCoreApplication::instance())->mainFrame();
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {QStringLiteral("-len"), QStringLiteral("64"), QStringLiteral("-id"),
                                              QString::number(frame->winId()), QStringLiteral("WM_CLASS"),
                                              QStringLiteral("_NET_WM_ICON")});
        QVERIFY(xprop.waitForFinished(10000));
        const QString properties = QString::fromUtf8(xprop.readAllStandardOutput());
        QVERIFY2(properties.contains(QStringLiteral(", \"Tessarel\"\n")), qPrintable(properties));
        QVERIFY2(properties.contains(QStringLiteral("_NET_WM_ICON(CARDINAL)")), qPrintable(properties.left(200)));
    }

    void iconOfAnExtensionInCapitals() {
        CMainFrame* frame = static_cast<CTessApp*>(QCoreApplication::instance())->mainFrame();
        QTemporaryDir documents;
        QFile upper(documents.path() + QStringLiteral("/UPPER.TXT"));
        QVERIFY(upper.open(QIODevice::WriteOnly));
        upper.write("The kiwi is a fruit.\r\nAnother kiwi line.");
        upper.close();
        frame->chooseFolder = [&](QWidget*, const QString&) { return std::optional<QString>(documents.path()); };
        QSignalSpy loads(frame->view(), &CTessView::pageLoaded);
        frame->browse();
        QTRY_VERIFY_WITH_TIMEOUT(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("Ready for search.")), 30000);
        frame->searchBox()->setText(QStringLiteral("kiwi"));
        const qsizetype before = loads.count();
        frame->StartSearch();
        QVERIFY(WaitForPage(*frame, loads, static_cast<int>(before) + 1));
        QVERIFY(PageFileText(frame->view()->url().toLocalFile()).contains(QStringLiteral("images/TXT.gif")));
        // Only the installed txt.gif has its grey-blue band.
        const QImage shot = Capture(*frame, QStringLiteral("capitals.png"));
        QVERIFY2(PixelsNear(shot, QColor(0x6B, 0x7A, 0x8F), 20) > 10, "the txt icon is shown");
    }
};

int main(int argc, char** argv) {
    // Settings of our own, as the installer writes them, in a folder that goes with the test.
    QTemporaryDir config;
    gConfig = &config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QTemporaryDir program;
    CopyFolder(QStringLiteral(TESSAREL_SOURCE_DIR "/contents"), program.path() + QStringLiteral("/contents"));
    QDir().mkpath(config.path() + QStringLiteral("/Quendralight"));
    QFile conf(config.path() + QStringLiteral("/Quendralight/Tessarel.conf"));
    conf.open(QIODevice::WriteOnly);
    conf.write("[Settings]\nProgramDirectory=\"" + program.path().toUtf8() +
               "\"\ngroupByFiles=1\nLimitLeft=1\nResultsPerFile=4\nFontFace=DejaVu Serif\nFontSize=12\n"
               "FilesText=1\nFilesRtf=1\nFilesDoc=1\nFilesPdf=1\nFilesDocx=1\nFilesXlsx=1\nFilesPptx=1\nFilesOdt=1\n");
    conf.close();

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QByteArray samples = TESSAREL_SOURCE_DIR "/samples";
    char* args[] = {argv[0], samples.data(), nullptr};
    int count = 2;
    CTessApp app(count, args);
    if (!app.initInstance())
        return 1;
    EndToEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "EndToEndTest.moc"
