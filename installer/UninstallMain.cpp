// Uninstall_en: removes Tessarel as the installer placed it, after asking.
//   --yes              do not ask
//   --remove-settings  also remove the Tessarel settings

#include "installer/InstallLayout.h"
#include "installer/Uninstaller.h"
#include "platform/qt/ApplicationIcon.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The window class the menu entry's StartupWMClass names.
    QApplication::setApplicationName(tessarel::kUninstallWindowClass);
    QApplication::setWindowIcon(tessarel::ApplicationIcon());
    const QStringList arguments = QApplication::arguments();
    const bool ask = !arguments.contains(QStringLiteral("--yes"));
    bool removeSettings = arguments.contains(QStringLiteral("--remove-settings"));
    const QString caption = QStringLiteral("Uninstall Tessarel");

    tessarel::CUninstaller uninstaller(tessarel::ManifestPath());
    if (!uninstaller.load()) {
        if (ask)
            QMessageBox::information(nullptr, caption,
                                     QStringLiteral("Tessarel is not installed for this user."));
        return 1;
    }
    if (ask) {
        QMessageBox question(
            QMessageBox::Question, caption,
            QStringLiteral("Tessarel will be removed from\n%1\nwith its links and menu entries.\n\n"
                           "Your documents are not touched. Do you want to continue?")
                .arg(uninstaller.directory()),
            QMessageBox::Yes | QMessageBox::No);
        question.setDefaultButton(QMessageBox::No);
        auto* settingsBox = new QCheckBox(QStringLiteral("Also remove the Tessarel settings"), &question);
        settingsBox->setChecked(removeSettings);
        question.setCheckBox(settingsBox);
        if (question.exec() != QMessageBox::Yes)
            return 0;
        removeSettings = settingsBox->isChecked();
    }
    uninstaller.run(removeSettings);
    if (ask) {
        QString done = QStringLiteral("Tessarel has been removed.");
        if (!uninstaller.directoryRemoved())
            done += QStringLiteral(
                        "\n\nThe folder %1 holds files that were not installed, so it was left in place.")
                        .arg(uninstaller.directory());
        QMessageBox::information(nullptr, caption, done);
    }
    return 0;
}
