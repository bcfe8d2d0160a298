#include "gui/window_memory.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace quorvane {

namespace {

QMargins KnownFrame(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QRect client = window.geometry();
  const QMargins known(client.left() - frame.left(), client.top() - frame.top(),
                       frame.right() - client.right(), frame.bottom() - client.bottom());
  // Before the window manager has framed it: room for a usual title bar and border.
  if (known.isNull() && !window.windowFlags().testFlag(Qt::FramelessWindowHint)) {
    return QMargins(8, 40, 8, 8);
  }
  return known;
}

}  // namespace

QRect RestoredClientGeometry(const QRect& area, const QMargins& frame, const QRect& remembered,
                             const QSize& minimum) {
  const QSize room = area.size().shrunkBy(frame);
  const QSize client = remembered.size().boundedTo(room).expandedTo(minimum);
  const QSize outer = client.grownBy(frame);
  const int left = remembered.left() - frame.left();
  const int top = remembered.top() - frame.top();
  const int x =
      std::clamp(left, area.left(), std::max(area.left(), area.right() + 1 - outer.width()));
  const int y =
      std::clamp(top, area.top(), std::max(area.top(), area.bottom() + 1 - outer.height()));
  return QRect(QPoint(x + frame.left(), y + frame.top()), client);
}

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
  if (!remembered.isValid()) return;
  QWidget& w = *t.window;
  const QScreen* screen = QGuiApplication::screenAt(remembered.center());
  if (screen == nullptr)
    screen = w.screen() != nullptr ? w.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QMargins frame = KnownFrame(w);
  const QRect client =
      RestoredClientGeometry(screen->availableGeometry(), frame, remembered, w.minimumSize());
  w.resize(client.size());
  w.move(client.topLeft() - QPoint(frame.left(), frame.top()));
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
