#include "installer/SetupPage.h"

#include "installer/SetupWizard.h"

namespace tessarel {

CSetupPage::CSetupPage(CSetupWizard& wizard) : wizard_(wizard) {}

void CSetupPage::becameActive() {
    if (!displayed_) {
        displayed_ = true;
        firstDisplay();
    }
    activate();
}

} // namespace tessarel
