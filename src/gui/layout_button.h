// The push buttons of the two windows' button rows.
#pragma once

#include <QPushButton>
#include <QSize>

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

}  // namespace quorvane
