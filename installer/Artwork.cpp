#include "installer/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tessarel {
namespace {

const QColor kDeep(0x1f, 0x4e, 0x79);
const QColor kLight(0x5b, 0x9b, 0xd5);
const QColor kPaper(0xfb, 0xfb, 0xf6);
const QColor kGlass(0xf2, 0xb1, 0x34);

// A page of text lines under a magnifying glass, fitted into the square at (x, y) of side size.
void PaintEmblem(QPainter& painter, qreal x, qreal y, qreal size) {
    painter.save();
    painter.translate(x, y);
    painter.scale(size / 100.0, size / 100.0);
    painter.setRenderHint(QPainter::Antialiasing);

    painter.setPen(QPen(kDeep.darker(130), 2));
    painter.setBrush(kPaper);
    painter.drawRoundedRect(QRectF(12, 6, 56, 74), 4, 4);
    painter.setPen(QPen(QColor(0x9a, 0xa8, 0xb8), 4, Qt::SolidLine, Qt::RoundCap));
    for (int line = 0; line < 6; ++line)
        painter.drawLine(QPointF(22, 20 + line * 10), QPointF(line % 3 == 2 ? 44 : 58, 20 + line * 10));

    painter.setPen(QPen(kGlass.darker(150), 10, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(72, 72), QPointF(92, 92));
    painter.setPen(QPen(kGlass, 7));
    painter.setBrush(QColor(255, 255, 255, 90));
    painter.drawEllipse(QPointF(58, 56), 20, 20);
    painter.restore();
}

} // namespace

QPixmap WatermarkPicture() {
    QPixmap pixmap(164, 360);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, 0, pixmap.height());
    gradient.setColorAt(0, kLight);
    gradient.setColorAt(1, kDeep);
    painter.fillRect(pixmap.rect(), gradient);
    PaintEmblem(painter, 22, 50, 120);
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
    PaintEmblem(painter, 0, 0, 49);
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

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        PaintEmblem(painter, 0, 0, size);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tessarel
