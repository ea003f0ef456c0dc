#include "installer/Artwork.h"

#include "platform/qt/ApplicationIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tessarel {
namespace {

const QColor kDeep(0x1f, 0x4e, 0x79);
const QColor kLight(0x5b, 0x9b, 0xd5);
const QColor kGlass(0xf2, 0xb1, 0x34);

} // namespace

QPixmap WatermarkPicture() {
    QPixmap pixmap(164, 360);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, 0, pixmap.height());
    gradient.setColorAt(0, kLight);
    gradient.setColorAt(1, kDeep);
    painter.fillRect(pixmap.rect(), gradient);
    painter.drawPixmap(18, 46, ApplicationIcon().pixmap(128));
    painter.setPen(Qt::white);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 190, pixmap.width(), 40), Qt::AlignCenter, QStringLiteral("Tessarel"));
    return pixmap;
}

QPixmap HeaderPicture() {
    QPixmap pixmap(49, 49);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.drawPixmap(0, 0, ApplicationIcon().pixmap(48));
    return pixmap;
}

QPixmap ExitPicture() {
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(24, 3);
    triangle.lineTo(46, 43);
    triangle.lineTo(2, 43);
    triangle.closeSubpath();
    painter.setPen(QPen(kGlass.darker(160), 2));
    painter.setBrush(kGlass);
    painter.drawPath(triangle);
    painter.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(24, 16), QPointF(24, 30));
    painter.drawPoint(QPointF(24, 37));
    return pixmap;
}

} // namespace tessarel
