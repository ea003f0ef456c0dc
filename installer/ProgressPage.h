#pragma once

#include "installer/SetupPage.h"

#include <memory>

class QProgressBar;

namespace tessarel {

class CInstallThread;

class CProgressPage : public CSetupPage {
public:
    explicit CProgressPage(CSetupWizard& wizard);
    ~CProgressPage() override;

    QProgressBar* progressBar() const { return progress_; }
    bool isInstalling() const;

protected:
    void firstDisplay() override;
    void activate() override;
    bool event(QEvent* event) override;

private:
    QProgressBar* progress_;
    std::unique_ptr<CInstallThread> worker_;
};

} // namespace tessarel
