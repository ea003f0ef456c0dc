#include "platform/qt/QtNotifier.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace tessarel {
namespace {

void ShowWarning(QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox::warning(owner, caption, text, QMessageBox::Ok);
}

} // namespace

void QtNotifier::warn(const std::u16string& caption, const std::u16string& text) {
    const QString c = QString::fromStdU16String(caption);
    const QString t = QString::fromStdU16String(text);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() == app->thread()) {
        ShowWarning(owner_.data(), c, t);
        return;
    }
    QMetaObject::invokeMethod(
        app, [owner = owner_, c, t] { ShowWarning(owner.data(), c, t); }, Qt::QueuedConnection);
}

} // namespace tessarel
