// TessarelSetup_en: installs Tessarel from the folder it is started in.

#include "installer/SetupWizard.h"
#include "platform/qt/ApplicationIcon.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TessarelSetup"));
    QApplication::setWindowIcon(tessarel::ApplicationIcon());
    tessarel::CSetupWizard wizard;
    wizard.exec();
    return 0;
}
