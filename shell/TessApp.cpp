#include "shell/TessApp.h"

#include "platform/qt/ApplicationIcon.h"
#include "shell/MainFrame.h"

#include <clocale>

namespace tessarel {

CTessApp::CTessApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The application name is also the window class the launchers' StartupWMClass names.
    setApplicationName(QStringLiteral("Tessarel"));
    setOrganizationName(QStringLiteral("Quendralight"));
    setDesktopFileName(QStringLiteral("Tessarel-Tessarel"));
    setWindowIcon(ApplicationIcon());
}

CTessApp::~CTessApp() = default;

bool CTessApp::initInstance() {
    // Wide lower-casing follows the UTF-8 locale; the result is not checked.
    std::setlocale(LC_ALL, "C.UTF-8");
    settings_ = std::make_unique<QtSettingsStore>();

    // The first argument is a folder to read, never a document to open.
    const QStringList args = arguments();
    const std::u16string first = args.size() > 1 ? args.at(1).toStdU16String() : std::u16string();
    frame_ = std::make_unique<CMainFrame>(*settings_, notifier_, first);
    notifier_.setOwner(frame_.get());

    frame_->show();
    frame_->activateWindow();
    frame_->raise();
    frame_->repaint();
    return true;
}

} // namespace tessarel
