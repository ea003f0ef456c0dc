#include "installer/DesktopEntry.h"

namespace tessarel {
namespace {

bool IsReservedInExec(QChar c) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// The string syntax of every desktop-entry value: backslash and control characters escaped.
QString EscapeValue(const QString& value) {
    QString escaped;
    escaped.reserve(value.size());
    for (QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

QString ExecArgument(const QString& argument) {
    bool needsQuotes = argument.isEmpty();
    for (QChar c : argument)
        needsQuotes = needsQuotes || IsReservedInExec(c);
    QString word;
    if (needsQuotes) {
        word += QLatin1Char('"');
        for (QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                word += QLatin1Char('\\');
            word += c;
        }
        word += QLatin1Char('"');
    } else {
        word = argument;
    }
    // A literal percent sign would be read as a field code.
    word.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return EscapeValue(word);
}

QString ShellArgument(const QString& argument) {
    QString quoted = argument;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString DesktopEntryText(const DesktopEntry& entry) {
    QString text = QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=") + entry.type + QLatin1Char('\n');
    text += QStringLiteral("Name=") + EscapeValue(entry.name) + QLatin1Char('\n');
    if (!entry.comment.isEmpty())
        text += QStringLiteral("Comment=") + EscapeValue(entry.comment) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + entry.exec + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    if (!entry.mimeTypes.isEmpty())
        text += QStringLiteral("MimeType=") + entry.mimeTypes + QLatin1Char('\n');
    if (!entry.categories.isEmpty())
        text += QStringLiteral("Categories=") + entry.categories + QLatin1Char('\n');
    if (entry.noDisplay)
        text += QStringLiteral("NoDisplay=true\n");
    return text;
}

} // namespace tessarel
