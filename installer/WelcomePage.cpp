#include "installer/WelcomePage.h"

#include "installer/SetupWizard.h"

#include <QAbstractButton>

namespace tessarel {

CWelcomePage::CWelcomePage(CSetupWizard& wizard)
    : CBannerPage(
          wizard, QStringLiteral("Tessarel - installation"), 40,
          QStringLiteral("This is the Tessarel installation program\n\nPress Next to continue or Cancel\n"
                         "to stop the installation."),
          130) {}

void CWelcomePage::activate() {
    sheet().showButtons({QWizard::Stretch, QWizard::NextButton, QWizard::CancelButton});
    sheet().button(QWizard::NextButton)->setEnabled(true);
}

} // namespace tessarel
