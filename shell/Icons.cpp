#include "shell/Icons.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tessarel {
namespace {

const char* ThemeName(ToolIconKind kind) {
    switch (kind) {
    // The theme's arrows are grey whether enabled or not: ours are drawn in colour.
    case ToolIconKind::Back: return "";
    case ToolIconKind::Forward: return "";
    case ToolIconKind::New: return "document-new";
    case ToolIconKind::Open: return "document-open";
    case ToolIconKind::Save: return "document-save";
    case ToolIconKind::Cut: return "edit-cut";
    case ToolIconKind::Copy: return "edit-copy";
    case ToolIconKind::Paste: return "edit-paste";
    case ToolIconKind::Stop: return "process-stop";
    case ToolIconKind::Reload: return "view-refresh";
    case ToolIconKind::Home: return "go-home";
    case ToolIconKind::Find: return "edit-find";
    case ToolIconKind::Print: return "document-print";
    case ToolIconKind::Help: return "help-browser";
    case ToolIconKind::Search: return "system-search";
    case ToolIconKind::Folder: return "folder";
    }
    return "";
}

// Simple drawings for a desktop without an icon theme.
QIcon Drawn(ToolIconKind kind) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(29, 55, 96);
    p.setPen(QPen(ink, 2));
    switch (kind) {
    case ToolIconKind::Back:
    case ToolIconKind::Forward: {
        QPainterPath arrow;
        arrow.moveTo(4, 12), arrow.lineTo(12, 4), arrow.lineTo(12, 8), arrow.lineTo(20, 8);
        arrow.lineTo(20, 16), arrow.lineTo(12, 16), arrow.lineTo(12, 20), arrow.closeSubpath();
        if (kind == ToolIconKind::Forward)
            p.translate(24, 0), p.scale(-1, 1);
        p.fillPath(arrow, QColor(60, 140, 60));
        break;
    }
    case ToolIconKind::New: case ToolIconKind::Copy: case ToolIconKind::Paste: case ToolIconKind::Save:
    case ToolIconKind::Print: case ToolIconKind::Open: case ToolIconKind::Folder:
        p.setBrush(Qt::white);
        p.drawRect(6, 3, 12, 18);
        if (kind == ToolIconKind::Copy)
            p.drawRect(3, 6, 12, 15);
        if (kind == ToolIconKind::Folder || kind == ToolIconKind::Open)
            p.fillRect(3, 8, 18, 12, QColor(230, 190, 80));
        break;
    case ToolIconKind::Cut:
        p.drawEllipse(4, 14, 6, 6), p.drawEllipse(14, 14, 6, 6);
        p.drawLine(9, 15, 18, 3), p.drawLine(15, 15, 6, 3);
        break;
    case ToolIconKind::Stop:
        p.setBrush(QColor(200, 40, 40));
        p.drawEllipse(3, 3, 18, 18);
        break;
    case ToolIconKind::Reload:
        p.drawArc(4, 4, 16, 16, 30 * 16, 300 * 16);
        break;
    case ToolIconKind::Home:
        p.drawLine(3, 12, 12, 4), p.drawLine(12, 4, 21, 12);
        p.drawRect(6, 12, 12, 9);
        break;
    case ToolIconKind::Find: case ToolIconKind::Search:
        p.setPen(QPen(ink, 3));
        p.drawEllipse(4, 4, 11, 11);
        p.drawLine(14, 14, 20, 20);
        break;
    case ToolIconKind::Help:
        p.setFont(QFont(QStringLiteral("Sans"), 14, QFont::Bold));
        p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    return QIcon(pixmap);
}

} // namespace

QIcon ToolIcon(ToolIconKind kind) {
    static const bool themeChosen = [] {
        // Without a desktop session Qt has no theme name; the freedesktop fallback is enough.
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
            if (QDir(QStringLiteral("/usr/share/icons/Adwaita")).exists())
                QIcon::setThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    (void)themeChosen;
    const QString name = QString::fromLatin1(ThemeName(kind));
    if (!name.isEmpty() && QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return Drawn(kind);
}

} // namespace tessarel
