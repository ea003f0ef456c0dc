#pragma once
// The icon of every Tessarel window: the program's, the installer's and the uninstaller's. It is
// drawn once, in contents/images/tessarel.svg, and rendered at the theme sizes by the build.

#include <QIcon>
#include <QList>

namespace tessarel {

// The sizes the build renders, which are also those installed into the user's icon theme.
const QList<int>& ApplicationIconSizes();
QIcon ApplicationIcon();

} // namespace tessarel
