#pragma once
// The installer's pictures, drawn when first asked for: the tall watermark of the welcome and
// closing pages, the header picture of the inner pages, the exit dialog's picture and the icon.

#include <QIcon>
#include <QPixmap>

namespace tessarel {

QPixmap WatermarkPicture();
QPixmap HeaderPicture();
QPixmap ExitPicture();
QIcon ApplicationIcon();

} // namespace tessarel
