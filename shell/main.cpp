#include "shell/TessApp.h"

#include <cstdlib>
#include <QCoreApplication>

#include <unistd.h>

int main(int argc, char** argv) {
    // The browser's sandbox cannot run as root.
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    // The browser shares its GL context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    tessarel::CTessApp app(argc, argv);
    if (!app.initInstance())
        return 1;
    return app.exec();
}
