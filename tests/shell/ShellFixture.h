#pragma once
// A program folder in a temporary directory (contents/ copied from the source tree), an
// in-memory settings store as the installer leaves it, and helpers to wait for the view.

#include "platform/Notifier.h"
#include "platform/SettingsStore.h"
#include "shell/MainFrame.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace tessarel::testing {

inline bool CopyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

struct ProgramFolder {
    QTemporaryDir dir;
    MemorySettingsStore store;
    RecordingNotifier notifier;

    ProgramFolder() {
        CopyFolder(QStringLiteral(TESSAREL_SOURCE_DIR "/contents"), dir.path() + QStringLiteral("/contents"));
        const std::string s = kSettingsSection;
        store.writeString(s, "ProgramDirectory", dir.path().toStdU16String());
        store.writeInt(s, "groupByFiles", 1);
        store.writeInt(s, "LimitLeft", 1);
        store.writeInt(s, "ResultsPerFile", 4);
        store.writeString(s, "FontFace", u"DejaVu Serif");
        store.writeInt(s, "FontSize", 12);
        for (const char* key :
             {"FilesText", "FilesRtf", "FilesDoc", "FilesPdf", "FilesDocx", "FilesXlsx", "FilesPptx", "FilesOdt"})
            store.writeInt(s, key, 1);
    }
    QString contents() const { return dir.path() + QStringLiteral("/contents"); }
    // A folder of documents inside the temporary directory.
    QString documents(const QList<QPair<QString, QByteArray>>& files) const {
        const QString folder = dir.path() + QStringLiteral("/documents");
        QDir().mkpath(folder);
        for (const auto& [name, bytes] : files) {
            QFile f(folder + QLatin1Char('/') + name);
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
        }
        return folder;
    }
};

// The file the view shows, without its folder.
inline QString ShownName(CMainFrame& frame) { return QFileInfo(frame.view()->url().toLocalFile()).fileName(); }

// Waits for the next completed page.
inline bool WaitForPage(CMainFrame&, QSignalSpy& loads, int count = 1, int timeout = 30000) {
    return QTest::qWaitFor([&] { return loads.count() >= count; }, timeout);
}

inline bool WaitForReading(CMainFrame& frame, int timeout = 60000) {
    return QTest::qWaitFor([&] { return frame.catalog() && !frame.catalog()->isRunning() &&
                                        frame.statusText().endsWith(QStringLiteral("files have been processed.")); },
                           timeout);
}

// The text of a content page (UTF-16LE after FF FE).
inline QString PageFileText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll().mid(2);
    return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
}

} // namespace tessarel::testing
