#pragma once
// The pictures of the toolbar, the two search-bar buttons and the window: the desktop theme's
// icons where it has them, else small drawings of our own.

#include <QIcon>

namespace tessarel {

enum class ToolIconKind {
    Back, Forward, New, Open, Save, Cut, Copy, Paste, Stop, Reload, Home, Find, Print, Help, Search, Folder, Program
};

QIcon ToolIcon(ToolIconKind kind);

} // namespace tessarel
