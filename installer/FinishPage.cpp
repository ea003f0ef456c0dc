#include "installer/FinishPage.h"

#include "installer/SetupWizard.h"

namespace tessarel {

CFinishPage::CFinishPage(CSetupWizard& wizard)
    : CBannerPage(
          wizard, QStringLiteral("Tessarel installation\nfinished successfully"), 80,
          QStringLiteral("You can run the program from the installed links.\n\nPress Finish to complete "
                         "the installation."),
          90) {}

void CFinishPage::activate() {
    sheet().showButtons({QWizard::Stretch, QWizard::FinishButton});
}

} // namespace tessarel
