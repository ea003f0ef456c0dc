#pragma once
// The installer's tests run with HOME and the XDG folders in a temporary folder of their own, set
// before Qt starts (Qt reads them once), so an installation under test never reaches the real home.

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTest>

namespace tessarel::test {

// Makes the temporary home and points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME and
// PATH (a bin folder first) into it. Returns the home folder.
QString PrepareTestHome();
void RemoveTestHome(const QString& home);
QString TestBinFolder();

// Writes a file, making its folders; executable files get rwxr-xr-x.
void WriteFile(const QString& path, const QByteArray& bytes, bool executable = false);
QString ReadFile(const QString& path);

// The release folder an installer is started from, with stand-ins for the programs: the program
// writes its arguments, one a line, to "arguments.txt" beside itself, tessarel-cli to
// "cli-arguments.txt"; the share/ folder holds a small file for each shared file.
void MakeReleaseFolder(const QString& folder);

// The words of a desktop entry's Exec value, unescaped and unquoted as a launcher does, with the
// field codes %f and %F replaced by the given path.
QStringList ExecWords(const QString& execValue, const QString& path);
// The value of key in a desktop entry's text ("" when absent).
QString EntryValue(const QString& entryText, const QString& key);

} // namespace tessarel::test

#define TESSAREL_INSTALLER_TEST_MAIN(TestClass)                                                              \
    int main(int argc, char** argv) {                                                                        \
        const QString home = tessarel::test::PrepareTestHome();                                              \
        int result = 0;                                                                                      \
        {                                                                                                    \
            QApplication application(argc, argv);                                                            \
            TestClass test;                                                                                  \
            result = QTest::qExec(&test, argc, argv);                                                        \
        }                                                                                                    \
        tessarel::test::RemoveTestHome(home);                                                                \
        return result;                                                                                       \
    }
