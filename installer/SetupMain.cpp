// TessarelSetup_en: installs Tessarel from the folder it is started in.

#include "installer/SetupWizard.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TessarelSetup"));
    tessarel::CSetupWizard wizard;
    wizard.exec();
    return 0;
}
