#include "gui/layout_button.h"

#include <QHBoxLayout>
#include <QSpacerItem>
#include <algorithm>

namespace quorvane {

LayoutButton::LayoutButton(const QString& text, const QSize& preferred, QWidget* parent)
    : QPushButton(text, parent), preferred_(preferred) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  // Outside a dialog a push button takes Enter only when it is an auto-default one.
  setAutoDefault(true);
}

QSize LayoutButton::sizeHint() const {
  return QSize(std::max(preferred_.width(), QPushButton::sizeHint().width()), preferred_.height());
}

QSize LayoutButton::minimumSizeHint() const {
  return QSize(QPushButton::sizeHint().width(), preferred_.height());
}

void AddButtonGap(QHBoxLayout& row) {
  row.addSpacerItem(new QSpacerItem(6, 0, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum));
}

}  // namespace quorvane
