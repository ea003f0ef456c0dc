#pragma once
// The folder picker of "Browse...": the desktop's directory chooser titled "Choose directory".

#include <QString>

#include <optional>

class QWidget;

namespace tessarel {

class CFolderChooser {
public:
    // The chosen folder's path, or nothing when the user cancelled.
    static std::optional<QString> choose(QWidget* owner, const QString& initialFolder);
};

} // namespace tessarel
