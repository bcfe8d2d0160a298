// Passing a message from a worker thread to the window thread.
#pragma once

#include <functional>
#include <string>

#include "matrix_handling/decompositions.h"

class QObject;

namespace quorvane {

// A receiver that may be called on any thread: show(text) runs on the thread
// of context. A caller on another thread waits until show has returned, as a
// modal box would hold a single-threaded run. context must outlive every call.
InfoMessageFn OnThreadOf(QObject* context, std::function<void(const std::string&)> show);

}  // namespace quorvane
