#include "installer/ReadyPage.h"

#include "installer/AdvancedPage.h"
#include "installer/SetupWizard.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace tessarel {

CReadyPage::CReadyPage(CSetupWizard& wizard) : CSetupPage(wizard) {
    setTitle(QStringLiteral("Installation is ready to start"));
    setSubTitle(
        QStringLiteral("All options are selected and the installation of Tessarel is ready to start"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral(
            "Click Install to continue with installation, or Back if you want to change the settings."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    summary_ = new QPlainTextEdit(this);
    summary_->setObjectName(QStringLiteral("10017"));
    summary_->setReadOnly(true);
    summary_->setFrameShape(QFrame::NoFrame);
    QPalette palette = summary_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    summary_->setPalette(palette);
    layout->addWidget(summary_, 1);
}

QString CReadyPage::SummaryText(const QString& directory, bool startMenu, bool desktop, bool contextMenu) {
    const QString indent(7, QLatin1Char(' '));
    const QString end = QStringLiteral("\r\n");
    QString text = QStringLiteral("Directory:") + end + indent + directory + end + end;
    if (startMenu || desktop) {
        text += QStringLiteral("Quick links to Tessarel:") + end;
        if (startMenu)
            text += indent + kStartMenuText + end;
        if (desktop)
            text += indent + kDesktopText + end;
        text += end;
    }
    if (contextMenu)
        text += QStringLiteral("Additional options:") + end + indent + kContextMenuText + end + end;
    return text;
}

void CReadyPage::activate() {
    sheet().showButtons({QWizard::Stretch, QWizard::BackButton, QWizard::NextButton, QWizard::CancelButton});
    sheet().setButtonText(QWizard::NextButton, QStringLiteral("Install"));
    QString text = SummaryText(sheet().installationDirectory(), sheet().startMenuItems(),
                               sheet().desktopLink(), sheet().contextMenuEntry());
    // The edit keeps paragraphs, not line-end pairs.
    summary_->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

} // namespace tessarel
