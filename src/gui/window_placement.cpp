#include "gui/window_placement.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace quorvane {

void CentreOnScreen(QWidget& window) {
  const QScreen* screen =
      window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  const QSize size = window.frameGeometry().size().expandedTo(window.size());
  window.move(area.x() + (area.width() - size.width()) / 2,
              area.y() + (area.height() - size.height()) / 2);
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
