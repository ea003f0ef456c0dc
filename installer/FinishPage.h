#pragma once

#include "installer/BannerPage.h"

namespace tessarel {

class CFinishPage : public CBannerPage {
public:
    explicit CFinishPage(CSetupWizard& wizard);

protected:
    void activate() override;
};

} // namespace tessarel
