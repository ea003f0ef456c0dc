#include "installer/ProgressPage.h"

#include "installer/InstallLayout.h"
#include "installer/InstallThread.h"
#include "installer/SetupWizard.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace tessarel {

CProgressPage::CProgressPage(CSetupWizard& wizard) : CSetupPage(wizard) {
    setTitle(QStringLiteral("Install"));
    setSubTitle(QStringLiteral("Please wait while Tessarel is being installed on your computer"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Installing Tessarel ..."), this));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("10020"));
    progress_->setTextVisible(false);
    layout->addWidget(progress_);
    layout->addStretch();
}

// The worker's destructor waits for its thread, so the page never goes under a running install.
CProgressPage::~CProgressPage() = default;

bool CProgressPage::isInstalling() const {
    return worker_ && !worker_->isFinished();
}

void CProgressPage::firstDisplay() {
    progress_->setRange(0, 10);
    progress_->setValue(0);
}

void CProgressPage::activate() {
    // From here there is no way back and no way out until the worker has finished.
    sheet().showButtons({QWizard::Stretch});
    if (worker_)
        return;
    worker_ = std::make_unique<CInstallThread>(
        this, sheet().installationDirectory(), sheet().startMenuItems() ? 1 : 0,
        sheet().desktopLink() ? 1 : 0, sheet().contextMenuEntry() ? 1 : 0);
    worker_->start();
}

bool CProgressPage::event(QEvent* event) {
    if (event->type() == QEvent::Type(WM_INSTALL_STEP)) {
        progress_->setValue(qMin(progress_->value() + 1, progress_->maximum()));
        return true;
    }
    if (event->type() == QEvent::Type(WM_INSTALL_DONE)) {
        worker_->wait();
        sheet().next();
        return true;
    }
    return CSetupPage::event(event);
}

} // namespace tessarel
