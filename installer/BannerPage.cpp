#include "installer/BannerPage.h"

#include "installer/BannerStatic.h"

#include <QPalette>
#include <QVBoxLayout>

namespace tessarel {

CBannerPage::CBannerPage(CSetupWizard& wizard, QString titleText, int titleHeight, QString bodyText,
                         int bodyHeight)
    : CSetupPage(wizard), titleText_(std::move(titleText)), titleHeight_(titleHeight),
      bodyText_(std::move(bodyText)), bodyHeight_(bodyHeight) {}

// A banner page paints white and draws its texts itself, with no header band above them.
void CBannerPage::firstDisplay() {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    setPalette(palette);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 20, 16, 0);
    layout->setSpacing(0);
    title_ = new CBannerStatic(titleText_, true, QSize(310, titleHeight_), this);
    body_ = new CBannerStatic(bodyText_, false, QSize(310, bodyHeight_), this);
    layout->addWidget(title_);
    layout->addWidget(body_);
    layout->addStretch();
}

} // namespace tessarel
