#pragma once
// The uninstall registration of one installation: what the installer made for the installation
// directory D, gathered over every run into D, so the uninstaller removes exactly that.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tessarel {

class CInstallManifest {
public:
    // A file written outside D, with the digest of what was written: an entry rewritten since by
    // another installation or by the user is no longer this installation's.
    struct Entry {
        QString path;
        QByteArray sha256; // hex
    };

    explicit CInstallManifest(const QString& path) : path_(path) {}
    const QString& path() const { return path_; }

    // False when there is no readable record.
    bool load();
    // Replaces the record; false when it could not be written (a link there is refused).
    bool save() const;
    // Keeps what an earlier run recorded beside what this run made.
    void merge(const CInstallManifest& earlier);

    void addFile(const QString& relative);
    void removeFile(const QString& relative);
    void addFolder(const QString& relative);
    void addEntry(const QString& path, const QByteArray& bytes);
    static QByteArray Digest(const QByteArray& bytes);

    QString installLocation; // D as the installer was given it
    QStringList files;       // relative to D
    QStringList folders;     // relative to D
    QList<Entry> entries;

private:
    QString path_;
};

} // namespace tessarel
