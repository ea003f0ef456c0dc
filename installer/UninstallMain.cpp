// Uninstall_en: removes the Tessarel installation it belongs to (the folder it lies in), after
// asking.
//   --yes              do not ask; messages go to the standard error stream
//   --remove-settings  also remove the Tessarel settings
// Exit status: 0 removed (or the user said No), 1 nothing of this folder to remove or a record
// that names another folder, 2 something could not be removed (the record stays for another run).

#include "installer/InstallLayout.h"
#include "installer/Uninstaller.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>

#include <cstdio>

namespace {

void Tell(bool ask, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    if (ask)
        QMessageBox(icon, caption, text, QMessageBox::Ok).exec();
    else
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const bool ask = !arguments.contains(QStringLiteral("--yes"));
    bool removeSettings = arguments.contains(QStringLiteral("--remove-settings"));
    const QString caption = QStringLiteral("Uninstall Tessarel");

    // The installation is the folder this program was installed into, whatever a record says.
    const QString directory = tessarel::CanonicalDirectory(QApplication::applicationDirPath());
    tessarel::CUninstaller uninstaller(directory);
    switch (uninstaller.load()) {
    case tessarel::CUninstaller::LoadResult::Loaded:
        break;
    case tessarel::CUninstaller::LoadResult::NotInstalled:
        Tell(ask, QMessageBox::Information, caption,
             QStringLiteral("Tessarel is not installed in %1 for this user.").arg(directory));
        return 1;
    case tessarel::CUninstaller::LoadResult::OtherDirectory:
        Tell(ask, QMessageBox::Warning, caption,
             QStringLiteral("The uninstall record of %1 names another folder (%2); nothing was removed.")
                 .arg(directory, uninstaller.directory()));
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
    if (!uninstaller.run(removeSettings)) {
        Tell(ask, QMessageBox::Warning, caption,
             QStringLiteral("Tessarel could not be removed completely. These are still there:\n\n%1\n\n"
                            "Run %2 again once they can be removed.")
                 .arg(uninstaller.failures().join(QLatin1Char('\n')), tessarel::UninstallerPath(directory)));
        return 2;
    }
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
