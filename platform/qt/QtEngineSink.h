#pragma once
// The desktop program's engine sink: a message posted on a worker thread is handed to the UI
// thread as a queued call, so the main window sees it in its own event loop, in posting order.

#include "platform/EngineSink.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace tessarel {

class QtEngineSink : public EngineSink {
public:
    using Handler = std::function<void(std::uint32_t message, const std::u16string& payload)>;

    // receiver: the object whose thread runs the handler; calls still queued when it goes are dropped.
    QtEngineSink(QObject* receiver, Handler handler);
    void post(std::uint32_t message, std::u16string payload) override;

private:
    QPointer<QObject> receiver_;
    Handler handler_;
};

} // namespace tessarel
