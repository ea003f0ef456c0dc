#pragma once
// A page of a title above a body on white: the wizard's first and last pages.

#include "installer/SetupPage.h"

#include <QString>

namespace tessarel {

class CBannerStatic;

class CBannerPage : public CSetupPage {
public:
    CBannerStatic* title() const { return title_; }
    CBannerStatic* body() const { return body_; }

protected:
    // The heights are the texts' boxes, in the wizard's units.
    CBannerPage(CSetupWizard& wizard, QString titleText, int titleHeight, QString bodyText, int bodyHeight);
    void firstDisplay() override;

private:
    QString titleText_;
    int titleHeight_;
    QString bodyText_;
    int bodyHeight_;
    CBannerStatic* title_ = nullptr;
    CBannerStatic* body_ = nullptr;
};

} // namespace tessarel
