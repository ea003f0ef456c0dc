#include "platform/qt/ApplicationIcon.h"

#include <QString>

namespace tessarel {

const QList<int>& ApplicationIconSizes() {
    static const QList<int> sizes{16, 24, 32, 48, 64, 128, 256};
    return sizes;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : ApplicationIconSizes())
        icon.addFile(QStringLiteral(":/tessarel/icons/%1x%1/tessarel.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace tessarel
