#pragma once
// What every page of the installer wizard shares: a one-time set-up on its first display and a
// reaction each time it becomes the active page, whichever way the user came to it.

#include <QWizardPage>

namespace tessarel {

class CSetupWizard;

class CSetupPage : public QWizardPage {
public:
    explicit CSetupPage(CSetupWizard& wizard);

    // Called by the wizard each time this page becomes the current one.
    void becameActive();
    // Going Back keeps the choices made on this page.
    void cleanupPage() override {}

protected:
    virtual void firstDisplay() {}
    virtual void activate() {}
    CSetupWizard& sheet() const { return wizard_; }

private:
    CSetupWizard& wizard_;
    bool displayed_ = false;
};

} // namespace tessarel
