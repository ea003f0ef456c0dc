#pragma once
// The installer's wizard: seven pages that collect the installation directory and the three
// options, then hand them to the installation worker and show its progress.

#include <QList>
#include <QWizard>

#include <functional>

namespace tessarel {

class CWelcomePage;
class CAgreementPage;
class CDirectoryPage;
class CAdvancedPage;
class CReadyPage;
class CProgressPage;
class CFinishPage;

class CSetupWizard : public QWizard {
public:
    enum PageIndex { kWelcome = 0, kAgreement, kDirectory, kAdvanced, kReady, kProgress, kFinish };

    explicit CSetupWizard(QWidget* parent = nullptr);

    CWelcomePage* welcomePage() const { return welcome_; }
    CAgreementPage* agreementPage() const { return agreement_; }
    CDirectoryPage* directoryPage() const { return directory_; }
    CAdvancedPage* advancedPage() const { return advanced_; }
    CReadyPage* readyPage() const { return ready_; }
    CProgressPage* progressPage() const { return progress_; }
    CFinishPage* finishPage() const { return finish_; }
    QAction* minimizeAction() const { return minimize_; }

    // The choices the installation worker is given.
    QString installationDirectory() const;
    bool startMenuItems() const;
    bool desktopLink() const;
    bool contextMenuEntry() const;

    // The buttons of the current page, left to right; the others are hidden.
    void showButtons(const QList<QWizard::WizardButton>& buttons);

    // Cancel asks before it leaves.
    void reject() override;

private:
    void pageBecameActive(int id);

    CWelcomePage* welcome_;
    CAgreementPage* agreement_;
    CDirectoryPage* directory_;
    CAdvancedPage* advanced_;
    CReadyPage* ready_;
    CProgressPage* progress_;
    CFinishPage* finish_;
    QAction* minimize_;
};

} // namespace tessarel
