#include "shell/ContentsGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QWebEngineUrlRequestInfo>

namespace tessarel {
namespace {

bool Inside(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

QString Canonical(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

} // namespace

void ContentsGuard::setContentsFolder(const QString& folder) {
    contentsFolder_ = Canonical(folder);
}

std::optional<QString> ContentsGuard::servedPath(const QString& path) const {
    if (contentsFolder_.isEmpty())
        return std::nullopt;
    const QFileInfo file(QDir::cleanPath(path));
    const QString folder = Canonical(file.absolutePath());
    if (!Inside(folder, contentsFolder_))
        return std::nullopt;
    if (file.exists()) {
        const QString canonical = file.canonicalFilePath();
        if (!Inside(canonical, contentsFolder_))
            return std::nullopt;
        return canonical;
    }
    // Icon names follow the extension as written in the document's path; the installed files are
    // lower case, and the file system is not case-blind.
    const QStringList names = QDir(folder).entryList(QDir::Files);
    for (const QString& name : names)
        if (name.compare(file.fileName(), Qt::CaseInsensitive) == 0)
            return folder + QLatin1Char('/') + name;
    return folder + QLatin1Char('/') + file.fileName();
}

void ContentsGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QUrl url = info.requestUrl();
    if (!url.isLocalFile()) {
        info.block(true);
        return;
    }
    const QString requested = QDir::cleanPath(url.toLocalFile());
    const std::optional<QString> served = servedPath(requested);
    if (!served) {
        info.block(true);
        return;
    }
    if (*served != Canonical(requested) &&
        info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
        info.redirect(QUrl::fromLocalFile(*served));
}

} // namespace tessarel
