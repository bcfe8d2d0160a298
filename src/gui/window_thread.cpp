#include "gui/window_thread.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

namespace quorvane {

InfoMessageFn OnThreadOf(QObject* context, std::function<void(const std::string&)> show) {
  return [context, show = std::move(show)](const std::string& text) {
    if (QThread::currentThread() == context->thread()) {
      show(text);
      return;
    }
    QMetaObject::invokeMethod(
        context, [&show, &text] { show(text); }, Qt::BlockingQueuedConnection);
  };
}

}  // namespace quorvane
