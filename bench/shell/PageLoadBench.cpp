// Time from WM_SEARCH_DONE to the loaded results page for a full page: 500 documents with 20
// hits each. Run it under a display (xvfb-run) for the figure a user sees.

#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "shell/MainFrame.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include <cstdio>

using namespace tessarel;

namespace {

constexpr int kDocuments = 500;
constexpr int kSentences = 24;
constexpr int kRuns = 5;

void CopyContents(const QString& to) {
    const QString from = QStringLiteral(TESSAREL_SOURCE_DIR "/contents");
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    CopyContents(dir.path() + QStringLiteral("/contents"));
    const QString documents = dir.path() + QStringLiteral("/documents");
    QDir().mkpath(documents);
    for (int d = 0; d < kDocuments; ++d) {
        QFile f(documents + QStringLiteral("/report%1.txt").arg(d));
        f.open(QIODevice::WriteOnly);
        for (int s = 0; s < kSentences; ++s)
            f.write(QStringLiteral("Sentence %1 of report %2 says the kiwi harvest of the season was good, "
                                   "and the growers expect more of the same next year.\r\n")
                        .arg(s)
                        .arg(d)
                        .toUtf8());
    }

    MemorySettingsStore store;
    RecordingNotifier notifier;
    const std::string s = kSettingsSection;
    store.writeString(s, "ProgramDirectory", dir.path().toStdU16String());
    store.writeInt(s, "groupByFiles", 1);
    store.writeInt(s, "UnlimitedResults", 1);
    store.writeInt(s, "FilesText", 1);
    CMainFrame frame(store, notifier, documents.toStdU16String());
    frame.show();
    QSignalSpy loads(frame.view(), &CTessView::pageLoaded);
    if (!QTest::qWaitFor([&] { return !frame.catalog()->isRunning() &&
                                      frame.statusText().endsWith(QStringLiteral("files have been processed.")); },
                         120000)) {
        std::fprintf(stderr, "reading did not end\n");
        return 1;
    }
    QTest::qWait(1000);
    std::printf("%d documents read\n", frame.catalog()->count());
    for (int run = 0; run < kRuns; ++run) {
        const qsizetype before = loads.count();
        frame.searchBox()->setText(QStringLiteral("kiwi"));
        // The longest stretch the UI thread was busy while the page loaded: its event loop's gaps.
        QElapsedTimer tick;
        qint64 longestGap = 0;
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, tick.restart());
        });
        QElapsedTimer total;
        total.start();
        tick.start();
        heartbeat.start(5);
        frame.StartSearch();
        if (!QTest::qWaitFor([&] { return loads.count() > before; }, 120000)) {
            std::fprintf(stderr, "the page did not load\n");
            return 1;
        }
        heartbeat.stop();
        const QString page = frame.view()->url().toLocalFile();
        QFile pageFile(page);
        pageFile.open(QIODevice::ReadOnly);
        const QByteArray bytes = pageFile.readAll();
        const qsizetype lines = QString(reinterpret_cast<const QChar*>(bytes.constData() + 2), (bytes.size() - 2) / 2)
                                    .count(QStringLiteral("href=\"show#"));
        std::printf("run %d: %s, %lld bytes, %d documents, %lld result lines; WM_SEARCH_DONE to loaded %lld ms (search + page %lld ms; %s); UI thread busy at most %lld ms at a time\n",
                    run + 1, qPrintable(QFileInfo(page).fileName()), static_cast<long long>(QFileInfo(page).size()),
                    frame.searcher().resultCount(), static_cast<long long>(lines),
                    static_cast<long long>(frame.view()->lastShowMilliseconds()),
                    static_cast<long long>(total.elapsed()), qPrintable(frame.statusText()),
                    static_cast<long long>(longestGap));
    }
    return 0;
}
