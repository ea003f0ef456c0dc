#pragma once
// The view's request guard: the browser may load files of the contents folder and nothing else.

#include <QString>
#include <QWebEngineUrlRequestInterceptor>

#include <optional>

namespace tessarel {

// Lets through only file requests inside the contents folder; an image whose name differs in
// case from the installed file ("images/PDF.gif") is served from that file.
class ContentsGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    explicit ContentsGuard(QObject* parent = nullptr) : QWebEngineUrlRequestInterceptor(parent) {}
    void setContentsFolder(const QString& folder);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    // The file a request for `path` is served from: itself, its case-blind twin in the same
    // folder, or nothing when it lies outside the contents folder.
    std::optional<QString> servedPath(const QString& path) const;

private:
    QString contentsFolder_;
};

} // namespace tessarel
