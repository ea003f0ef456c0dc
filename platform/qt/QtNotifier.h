#pragma once
// The desktop program's notifier: a message box with the exclamation icon. On the UI thread it is
// modal at once; from a worker thread the box is queued onto the UI thread and the worker goes on.

#include "platform/Notifier.h"

#include <QPointer>
#include <QWidget>

namespace tessarel {

class QtNotifier : public Notifier {
public:
    void warn(const std::u16string& caption, const std::u16string& text) override;
    // The window that owns the boxes (none before the main window exists).
    void setOwner(QWidget* owner) { owner_ = owner; }

private:
    QPointer<QWidget> owner_;
};

} // namespace tessarel
