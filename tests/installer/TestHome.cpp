#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <string>

namespace tessarel::test {
namespace {

QString g_home;

void SetEnv(const char* name, const QString& value) {
    setenv(name, value.toLocal8Bit().constData(), 1);
}

} // namespace

QString PrepareTestHome() {
    std::string pattern =
        (QDir::tempPath() + QStringLiteral("/tessarel-installer-test-XXXXXX")).toStdString();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    g_home = QString::fromStdString(pattern);
    SetEnv("HOME", g_home);
    SetEnv("XDG_CONFIG_HOME", g_home + QStringLiteral("/.config"));
    SetEnv("XDG_DATA_HOME", g_home + QStringLiteral("/.local/share"));
    SetEnv("XDG_CACHE_HOME", g_home + QStringLiteral("/.cache"));
    const QString runtime = g_home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    SetEnv("XDG_RUNTIME_DIR", runtime);
    unsetenv("XDG_DATA_DIRS");
    unsetenv("XDG_CONFIG_DIRS");
    // The desktop tools answer from the test home alone, the same on every machine.
    for (const char* name :
         {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
          "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "XDG_MENU_PREFIX"})
        unsetenv(name);
    QDir().mkpath(TestBinFolder());
    SetEnv("PATH", TestBinFolder() + QStringLiteral(":/usr/bin:/bin"));
    return g_home;
}

void RemoveTestHome(const QString& home) {
    if (home.startsWith(QDir::tempPath()))
        QDir(home).removeRecursively();
}

QString TestBinFolder() {
    return g_home + QStringLiteral("/bin");
}

void WriteFile(const QString& path, const QByteArray& bytes, bool executable) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                            QFileDevice::ExeOther);
}

QString ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void MakeReleaseFolder(const QString& folder) {
    WriteFile(folder + QStringLiteral("/Tessarel_en"),
              "#!/bin/sh\n: > \"$(dirname \"$0\")/arguments.txt\"\n"
              "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$(dirname \"$0\")/arguments.txt\"; done\n",
              true);
    WriteFile(folder + QStringLiteral("/Uninstall_en"), "#!/bin/sh\nexit 0\n", true);
    WriteFile(folder + QStringLiteral("/TessarelSetup_en"), "#!/bin/sh\nexit 0\n", true);
    WriteFile(folder + QStringLiteral("/License.txt"), "Test licence.\n");
    WriteFile(folder + QStringLiteral("/contents/home.html"), "<html>home</html>");
    WriteFile(folder + QStringLiteral("/contents/help.html"), "<html>help</html>");
    WriteFile(folder + QStringLiteral("/contents/images/arrow.gif"), "GIF89a");
    WriteFile(folder + QStringLiteral("/contents/tessarel.log"), "");
    WriteFile(folder + QStringLiteral("/.hidden-note"), "kept too");
}

QStringList ExecWords(const QString& execValue, const QString& path) {
    // The string escapes of every desktop-entry value come off first.
    QString value;
    for (qsizetype i = 0; i < execValue.size(); ++i) {
        if (execValue[i] == QLatin1Char('\\') && i + 1 < execValue.size()) {
            const QChar next = execValue[++i];
            value += next == QLatin1Char('n') ? QChar('\n') : next == QLatin1Char('t') ? QChar('\t') : next;
        } else {
            value += execValue[i];
        }
    }
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < value.size())
                word += value[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                word += c;
        } else if (c == QLatin1Char('"')) {
            quoted = inWord = true;
        } else if (c == QLatin1Char(' ')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    for (QString& w : words) {
        if (w == QLatin1String("%f") || w == QLatin1String("%F"))
            w = path;
        w.replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    return words;
}

QString EntryValue(const QString& entryText, const QString& key) {
    for (const QString& line : entryText.split(QLatin1Char('\n')))
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    return QString();
}

} // namespace tessarel::test
