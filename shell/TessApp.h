#pragma once
// The application object: prepares the process (locale, settings store), makes the main window
// and shows it.

#include "platform/qt/QtNotifier.h"
#include "platform/qt/QtSettingsStore.h"

#include <QApplication>

#include <memory>

namespace tessarel {

class CMainFrame;

class CTessApp : public QApplication {
    Q_OBJECT
public:
    CTessApp(int& argc, char** argv);
    ~CTessApp() override;

    // Start-up in order; false when the main window could not be made (the process ends).
    bool initInstance();
    CMainFrame* mainFrame() { return frame_.get(); }

private:
    std::unique_ptr<QtSettingsStore> settings_;
    QtNotifier notifier_;
    std::unique_ptr<CMainFrame> frame_;
};

} // namespace tessarel
