#pragma once
// The installer's pictures, drawn when first asked for: the tall watermark of the welcome and
// closing pages, the header picture of the inner pages and the exit dialog's picture. The first
// two carry the application icon.

#include <QPixmap>

namespace tessarel {

QPixmap WatermarkPicture();
QPixmap HeaderPicture();
QPixmap ExitPicture();

} // namespace tessarel
