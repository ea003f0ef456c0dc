#include "shell/FolderChooser.h"

#include <QFileDialog>

namespace tessarel {

std::unique_ptr<QFileDialog> CFolderChooser::makeDialog(QWidget* owner, const QString& initialFolder,
                                                        SettingsStore& settings) {
    auto dialog = std::make_unique<QFileDialog>(owner, QStringLiteral("Choose directory"), initialFolder);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // The installer stores the picker's size beside the settings; a missing size keeps the default.
    const std::int32_t width = settings.readInt("Explorer", "Browse For Folder Width", 0);
    const std::int32_t height = settings.readInt("Explorer", "Browse For Folder Height", 0);
    if (width > 0 && height > 0)
        dialog->resize(width, height);
    return dialog;
}

std::optional<QString> CFolderChooser::choose(QWidget* owner, const QString& initialFolder,
                                              SettingsStore& settings) {
    const std::unique_ptr<QFileDialog> dialog = makeDialog(owner, initialFolder, settings);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().front();
}

} // namespace tessarel
