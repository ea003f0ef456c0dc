#pragma once

#include "installer/SetupPage.h"

class QPlainTextEdit;

namespace tessarel {

class CReadyPage : public CSetupPage {
public:
    explicit CReadyPage(CSetupWizard& wizard);

    QPlainTextEdit* summaryEdit() const { return summary_; }

    // The summary of the choices, lines ended by "\r\n" and indented by seven spaces.
    static QString SummaryText(const QString& directory, bool startMenu, bool desktop, bool contextMenu);

protected:
    void activate() override;

private:
    QPlainTextEdit* summary_;
};

} // namespace tessarel
