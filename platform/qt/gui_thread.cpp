#include "platform/qt/gui_thread.h"

#include <QThread>

namespace platform::qt {

bool onThreadOf(const QObject* context) { return context && QThread::currentThread() == context->thread(); }

void runOnGui(QObject* context, const std::function<void()>& fn) {
    if (!context) return;
    if (onThreadOf(context)) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(context, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void postToGui(QObject* context, std::function<void()> fn) {
    if (!context) return;
    if (onThreadOf(context)) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

}  // namespace platform::qt
