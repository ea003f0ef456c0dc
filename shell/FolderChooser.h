#pragma once
// The folder picker of "Browse...": the desktop's directory chooser titled "Choose directory",
// at the size the installer stores for it.

#include "platform/SettingsStore.h"

#include <QString>

#include <memory>
#include <optional>

class QFileDialog;
class QWidget;

namespace tessarel {

class CFolderChooser {
public:
    // The chosen folder's path, or nothing when the user cancelled.
    static std::optional<QString> choose(QWidget* owner, const QString& initialFolder,
                                         SettingsStore& settings);
    // The dialog choose() runs, made and sized but not shown.
    static std::unique_ptr<QFileDialog> makeDialog(QWidget* owner, const QString& initialFolder,
                                                   SettingsStore& settings);
};

} // namespace tessarel
