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
  if (QFontInfo(font).fixedPitch()) {
    // A font configuration that prefers none of the installed faces for
    // sans-serif (a system with the Liberation fonts alone) resolves the
    // default face to a fixed-pitch one, far wider than the windows allow
    // for: the proportional face installed with the program is taken then.
    QFont sans(QStringLiteral("Liberation Sans"));
    sans.setStyleHint(QFont::SansSerif);
    sans.setPixelSize(13);
    if (!QFontInfo(sans).fixedPitch()) font = sans;
  }
  font.setBold(bold);
  return font;
}

}  // namespace quorvane
