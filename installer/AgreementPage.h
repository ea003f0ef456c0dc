#pragma once

#include "installer/SetupPage.h"

class QPlainTextEdit;
class QRadioButton;

namespace tessarel {

class CAgreementPage : public CSetupPage {
public:
    explicit CAgreementPage(CSetupWizard& wizard);
    bool isComplete() const override;

    QPlainTextEdit* agreementText() const { return text_; }
    QRadioButton* acceptButton() const { return accept_; }
    QRadioButton* declineButton() const { return decline_; }

    // "License.txt" of the current folder, read whole: UTF-8 when it is valid UTF-8, else
    // Windows-1251. A file that cannot be read gives a short note instead.
    static QString ReadAgreement(const QString& path);

protected:
    void firstDisplay() override;
    void activate() override;

private:
    QPlainTextEdit* text_;
    QRadioButton* accept_;
    QRadioButton* decline_;
};

} // namespace tessarel
