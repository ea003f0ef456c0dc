#pragma once

#include "installer/BannerPage.h"

namespace tessarel {

class CWelcomePage : public CBannerPage {
public:
    explicit CWelcomePage(CSetupWizard& wizard);

protected:
    void activate() override;
};

} // namespace tessarel
