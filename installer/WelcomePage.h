#pragma once

#include "installer/SetupPage.h"

namespace tessarel {

class CBannerStatic;

class CWelcomePage : public CSetupPage {
public:
    explicit CWelcomePage(CSetupWizard& wizard);
    CBannerStatic* title() const { return title_; }
    CBannerStatic* body() const { return body_; }

protected:
    void firstDisplay() override;
    void activate() override;

private:
    CBannerStatic* title_ = nullptr;
    CBannerStatic* body_ = nullptr;
};

} // namespace tessarel
