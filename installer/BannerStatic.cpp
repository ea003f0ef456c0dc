#include "installer/BannerStatic.h"

#include <QPainter>
#include <QVBoxLayout>
#include <QWizardPage>

namespace tessarel {

CBannerStatic::CBannerStatic(const QString& text, bool title, QSize size, QWidget* parent)
    : QWidget(parent), text_(text), title_(title) {
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setPixelSize(title ? 25 : 13);
    setFont(font);
    setMinimumSize(size);
    setAttribute(Qt::WA_TranslucentBackground);
}

void CBannerStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
}

// The banner pages paint white and draw their texts themselves, as the header-less pages of the
// classic wizard do.
void MakeBannerPage(QWizardPage& page, CBannerStatic*& title, CBannerStatic*& body, const QString& titleText,
                    int titleHeight, const QString& bodyText, int bodyHeight) {
    QPalette palette = page.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    page.setPalette(palette);
    page.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&page);
    layout->setContentsMargins(16, 20, 16, 0);
    layout->setSpacing(0);
    title = new CBannerStatic(titleText, true, QSize(310, titleHeight), &page);
    body = new CBannerStatic(bodyText, false, QSize(310, bodyHeight), &page);
    layout->addWidget(title);
    layout->addWidget(body);
    layout->addStretch();
}

} // namespace tessarel
