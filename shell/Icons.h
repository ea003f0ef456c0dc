#pragma once
// The pictures of the toolbar and the two search-bar buttons: the desktop theme's icons where it
// has them, else small drawings of our own.

#include <QIcon>

namespace tessarel {

enum class ToolIconKind {
    Back, Forward, New, Open, Save, Cut, Copy, Paste, Stop, Reload, Home, Find, Print, Help, Search, Folder
};

QIcon ToolIcon(ToolIconKind kind);

} // namespace tessarel
