#include "installer/SetupWizard.h"

#include "installer/AdvancedPage.h"
#include "installer/AgreementPage.h"
#include "installer/Artwork.h"
#include "installer/DirectoryPage.h"
#include "installer/ExitDialog.h"
#include "installer/FinishPage.h"
#include "installer/ProgressPage.h"
#include "installer/ReadyPage.h"
#include "installer/WelcomePage.h"
#include "platform/qt/ApplicationIcon.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>

namespace tessarel {

CSetupWizard::CSetupWizard(QWidget* parent)
    : QWizard(parent), welcome_(new CWelcomePage(*this)), agreement_(new CAgreementPage(*this)),
      directory_(new CDirectoryPage(*this)), advanced_(new CAdvancedPage(*this)),
      ready_(new CReadyPage(*this)), progress_(new CProgressPage(*this)), finish_(new CFinishPage(*this)),
      minimize_(new QAction(QStringLiteral("Minimize"), this)) {
    setWindowTitle(QStringLiteral("Tessarel - installation"));
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    // The watermark belongs to the pages without a header (welcome and closing), the header
    // picture to the five inner ones.
    setPixmap(QWizard::LogoPixmap, HeaderPicture());
    welcome_->setPixmap(QWizard::WatermarkPixmap, WatermarkPicture());
    finish_->setPixmap(QWizard::WatermarkPixmap, WatermarkPicture());
    setPage(kWelcome, welcome_);
    setPage(kAgreement, agreement_);
    setPage(kDirectory, directory_);
    setPage(kAdvanced, advanced_);
    setPage(kReady, ready_);
    setPage(kProgress, progress_);
    setPage(kFinish, finish_);
    setStartId(kWelcome);

    setWindowIcon(ApplicationIcon());
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    // The window manager owns the title bar's menu; the item lives in the wizard's own menu.
    setContextMenuPolicy(Qt::ActionsContextMenu);
    addAction(minimize_);
    connect(minimize_, &QAction::triggered, this, &QWidget::showMinimized);

    setButtonText(QWizard::CancelButton, QStringLiteral("Cancel"));
    setButtonText(QWizard::BackButton, QStringLiteral("< Back"));
    setButtonText(QWizard::NextButton, QStringLiteral("Next >"));
    setButtonText(QWizard::FinishButton, QStringLiteral("Finish"));
    showButtons({QWizard::Stretch, QWizard::NextButton, QWizard::CancelButton});
    setMinimumSize(560, 400);

    connect(this, &QWizard::currentIdChanged, this, &CSetupWizard::pageBecameActive);
}

QString CSetupWizard::installationDirectory() const {
    return directory_->installationDirectory();
}

bool CSetupWizard::startMenuItems() const {
    return advanced_->startMenuBox()->isChecked();
}

bool CSetupWizard::desktopLink() const {
    return advanced_->desktopBox()->isChecked();
}

bool CSetupWizard::contextMenuEntry() const {
    return advanced_->contextMenuBox()->isChecked();
}

void CSetupWizard::showButtons(const QList<QWizard::WizardButton>& buttons) {
    setButtonLayout(buttons);
}

void CSetupWizard::pageBecameActive(int id) {
    if (auto* active = dynamic_cast<CSetupPage*>(page(id)))
        active->becameActive();
}

void CSetupWizard::reject() {
    // While the worker runs the installation cannot be left half done; once it has run, leaving
    // is finishing.
    if (currentId() == kProgress)
        return;
    if (currentId() == kFinish) {
        QWizard::reject();
        return;
    }
    CExitDialog exitDialog(this);
    if (exitDialog.exec() == QDialog::Accepted)
        QWizard::reject();
}

} // namespace tessarel
