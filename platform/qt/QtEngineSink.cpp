#include "platform/qt/QtEngineSink.h"

#include <QMetaObject>

#include <utility>

namespace tessarel {

QtEngineSink::QtEngineSink(QObject* receiver, Handler handler) : receiver_(receiver), handler_(std::move(handler)) {}

void QtEngineSink::post(std::uint32_t message, std::u16string payload) {
    QObject* receiver = receiver_.data();
    if (!receiver)
        return;
    // The payload travels by value: the sender may overwrite its own text at once.
    QMetaObject::invokeMethod(
        receiver, [handler = handler_, message, payload = std::move(payload)] { handler(message, payload); },
        Qt::QueuedConnection);
}

} // namespace tessarel
