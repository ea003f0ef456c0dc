#include "shell/FolderChooser.h"

#include <QFileDialog>

namespace tessarel {

std::optional<QString> CFolderChooser::choose(QWidget* owner, const QString& initialFolder) {
    QFileDialog dialog(owner, QStringLiteral("Choose directory"), initialFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

} // namespace tessarel
