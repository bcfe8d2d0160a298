#include "gui/window_placement.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace quorvane {

namespace {

// The frame the window manager puts around a window before it is known:
// room for a usual title bar and border.
constexpr QMargins kAssumedFrame(8, 40, 8, 8);

const QScreen* ScreenOf(const QWidget& window) {
  return window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
}

QMargins FrameOf(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QRect client = window.geometry();
  const QMargins known(client.left() - frame.left(), client.top() - frame.top(),
                       frame.right() - client.right(), frame.bottom() - client.bottom());
  if (!known.isNull() || window.windowFlags().testFlag(Qt::FramelessWindowHint)) return known;
  return kAssumedFrame;
}

void Place(QWidget& window, const QRect& client, const QMargins& frame) {
  window.resize(client.size());
  // A window's position is that of its frame.
  window.move(client.topLeft() - QPoint(frame.left(), frame.top()));
}

}  // namespace

QRect FittedClientGeometry(const QRect& area, const QMargins& frame, const QSize& preferred,
                           const QSize& minimum) {
  const QSize room = area.size().shrunkBy(frame);
  const QSize client = preferred.boundedTo(room).expandedTo(minimum);
  const QSize outer = client.grownBy(frame);
  const int x = area.x() + std::max(0, (area.width() - outer.width()) / 2);
  const int y = area.y() + std::max(0, (area.height() - outer.height()) / 2);
  return QRect(QPoint(x + frame.left(), y + frame.top()), client);
}

void FitOnScreen(QWidget& window, const QSize& preferred) {
  const QScreen* screen = ScreenOf(window);
  if (screen == nullptr) return;
  const QMargins frame = FrameOf(window);
  Place(window,
        FittedClientGeometry(screen->availableGeometry(), frame, preferred, window.minimumSize()),
        frame);
}

void KeepOnScreen(QWidget& window) {
  const QScreen* screen = ScreenOf(window);
  if (screen == nullptr || !window.isVisible() || window.isMaximized() || window.isFullScreen()) {
    return;
  }
  const QRect area = screen->availableGeometry();
  if (area.contains(window.frameGeometry())) return;
  const QMargins frame = FrameOf(window);
  QRect client = FittedClientGeometry(area, frame, window.size(), window.minimumSize());
  // Where the window fits, it moves as little as needed.
  const QRect outer = client.marginsAdded(frame);
  const int dx = std::clamp(window.frameGeometry().left(), area.left(),
                            std::max(area.left(), area.right() - outer.width() + 1)) -
                 outer.left();
  const int dy = std::clamp(window.frameGeometry().top(), area.top(),
                            std::max(area.top(), area.bottom() - outer.height() + 1)) -
                 outer.top();
  client.translate(dx, dy);
  Place(window, client, frame);
}

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

void PlaceRemembered(QWidget& window, const QRect& remembered) {
  const QScreen* screen = QGuiApplication::screenAt(remembered.center());
  if (screen == nullptr) screen = ScreenOf(window);
  if (screen == nullptr) return;
  const QMargins frame = FrameOf(window);
  Place(
      window,
      RestoredClientGeometry(screen->availableGeometry(), frame, remembered, window.minimumSize()),
      frame);
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 64.0, side / 64.0);
    // The same shapes as resources/quorvane.svg (a 64 x 64 design).
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x4e, 0x79));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    QPainterPath curve;
    curve.moveTo(8, 50);
    curve.cubicTo(20, 50, 24, 14, 32, 14);
    curve.cubicTo(40, 14, 44, 50, 56, 50);
    painter.setBrush(QColor(0xd6, 0xe6, 0xf5));
    painter.drawPath(curve);
    painter.setPen(QPen(QColor(0xf2, 0xa9, 0x00), 3));
    painter.drawLine(QPointF(50, 12), QPointF(50, 52));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xf2, 0xa9, 0x00));
    painter.drawEllipse(QPointF(50, 12), 4, 4);
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace quorvane
