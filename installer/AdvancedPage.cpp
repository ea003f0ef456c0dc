#include "installer/AdvancedPage.h"

#include "installer/SetupWizard.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tessarel {

CAdvancedPage::CAdvancedPage(CSetupWizard& wizard) : CSetupPage(wizard) {
    setTitle(QStringLiteral("Advanced Settings"));
    setSubTitle(QStringLiteral("Select Advanced settings for the installation"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("Select additional options for installing Tessarel and click Next to continue."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addSpacing(6);
    layout->addWidget(new QLabel(QStringLiteral("Quick links to Tessarel:"), this));
    startMenu_ = new QCheckBox(kStartMenuText, this);
    startMenu_->setObjectName(QStringLiteral("10014"));
    desktop_ = new QCheckBox(kDesktopText, this);
    desktop_->setObjectName(QStringLiteral("10013"));
    layout->addWidget(startMenu_);
    layout->addWidget(desktop_);
    layout->addSpacing(6);
    layout->addWidget(new QLabel(QStringLiteral("Additional options:"), this));
    contextMenu_ = new QCheckBox(kContextMenuText, this);
    contextMenu_->setObjectName(QStringLiteral("10015"));
    layout->addWidget(contextMenu_);
    layout->addStretch();
}

void CAdvancedPage::firstDisplay() {
    startMenu_->setChecked(true);
    desktop_->setChecked(true);
    contextMenu_->setChecked(true);
}

void CAdvancedPage::activate() {
    sheet().showButtons({QWizard::Stretch, QWizard::BackButton, QWizard::NextButton, QWizard::CancelButton});
    sheet().setButtonText(QWizard::NextButton, QStringLiteral("Next >"));
}

} // namespace tessarel
