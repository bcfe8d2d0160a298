#include "gui/window_memory.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include "gui/window_placement.h"

namespace quorvane {

WindowMemory::WindowMemory() : settings_(std::make_unique<QSettings>()) {
  connect(qApp, &QCoreApplication::aboutToQuit, this, &WindowMemory::Save);
}

WindowMemory::WindowMemory(const QString& file)
    : settings_(std::make_unique<QSettings>(file, QSettings::IniFormat)) {
  connect(qApp, &QCoreApplication::aboutToQuit, this, &WindowMemory::Save);
}

WindowMemory::~WindowMemory() = default;

void WindowMemory::Track(QWidget& window, const QString& key) {
  windows_.push_back({&window, key});
  window.installEventFilter(this);
  connect(&window, &QObject::destroyed, this, [this, w = &window] {
    std::erase_if(windows_, [w](const Tracked& t) { return t.window == w; });
  });
}

int WindowMemory::Number(const QString& key, int fallback) const {
  bool ok = false;
  const int value = settings_->value(key).toInt(&ok);
  return ok ? value : fallback;
}

void WindowMemory::KeepNumber(const QString& key, std::function<int()> value) {
  numbers_.emplace_back(key, std::move(value));
}

WindowMemory::Tracked* WindowMemory::Find(QObject* window) {
  for (Tracked& t : windows_) {
    if (t.window == window) return &t;
  }
  return nullptr;
}

bool WindowMemory::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Show) return false;
  Tracked* t = Find(watched);
  if (t == nullptr || t->shown) return false;
  t->shown = true;
  // The window's own show handling (where it places itself) first, then the
  // remembered place over it.
  static_cast<QObject*>(t->window)->event(event);
  Restore(*t);
  return true;
}

void WindowMemory::Restore(Tracked& t) {
  const QRect remembered = settings_->value(t.key + QStringLiteral("/geometry")).toRect();
  if (remembered.isValid()) PlaceRemembered(*t.window, remembered);
}

void WindowMemory::Save() {
  for (const Tracked& t : windows_) {
    if (!t.shown || t.window->isMaximized() || t.window->isFullScreen()) continue;
    settings_->setValue(t.key + QStringLiteral("/geometry"), t.window->geometry());
  }
  for (const auto& [key, value] : numbers_) settings_->setValue(key, value());
  settings_->sync();
}

}  // namespace quorvane
