// The push buttons of the two windows' button rows.
#pragma once

#include <QPushButton>
#include <QSize>

class QHBoxLayout;

namespace quorvane {

// A push button that asks its layout for a given size where there is room and
// can shrink to what its caption needs where there is not. Its height stays
// the given one. Enter, as Space, presses it while it has the focus.
class LayoutButton : public QPushButton {
 public:
  LayoutButton(const QString& text, const QSize& preferred, QWidget* parent);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 private:
  QSize preferred_;
};

// Adds a gap between buttons in a row: the row's extra width is shared out
// among its gaps, each at least 6 pixels wide.
void AddButtonGap(QHBoxLayout& row);

}  // namespace quorvane
