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

} // namespace tessarel
