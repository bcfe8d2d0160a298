#include "gui/fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>

namespace quorvane {

QFont ReportFace() {
  for (const char* family : {"Courier New", "Liberation Mono"}) {
    QFont font(QString::fromLatin1(family));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (QFontInfo(font).fixedPitch()) return font;
  }
  return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

QFont MemoFont() {
  QFont font = ReportFace();
  font.setPixelSize(12);
  return font;
}

QFont PrintFont() {
  QFont font = ReportFace();
  font.setPointSize(8);
  return font;
}

QFont WindowFont(bool bold) {
  QFont font = QApplication::font();
  font.setPixelSize(13);
  font.setBold(bold);
  return font;
}

}  // namespace quorvane
