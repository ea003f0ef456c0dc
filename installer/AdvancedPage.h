#pragma once

#include "installer/SetupPage.h"

class QCheckBox;

namespace tessarel {

inline const QString kStartMenuText = QStringLiteral("Create items in your Start menu programs");
inline const QString kDesktopText = QStringLiteral("Create link on Desktop");
inline const QString kContextMenuText =
    QStringLiteral("Include Tessarel in the context menu of the file manager");

class CAdvancedPage : public CSetupPage {
public:
    explicit CAdvancedPage(CSetupWizard& wizard);

    QCheckBox* startMenuBox() const { return startMenu_; }
    QCheckBox* desktopBox() const { return desktop_; }
    QCheckBox* contextMenuBox() const { return contextMenu_; }

protected:
    void firstDisplay() override;
    void activate() override;

private:
    QCheckBox* startMenu_;
    QCheckBox* desktop_;
    QCheckBox* contextMenu_;
};

} // namespace tessarel
