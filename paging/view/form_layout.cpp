// Dialog units to pixels: the average width is that of the 52 Latin letters
// (rounded, as the window system computes its dialog base units) and the
// height is the font's line height; a text that would not fit its box
// widens the unit.
#include "paging/view/form_layout.h"

#include <QFontMetrics>

#include <algorithm>

namespace zentrel {

QFont FormFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPointSize(8);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

int WidthToFit(const QFont& font, const QString& text, int margin_px, int dlu_width, int width) {
  if (dlu_width <= 0) return width;
  const int text_px = QFontMetrics(font).horizontalAdvance(QString(text).remove(QLatin1Char('&')));
  return std::max(width, ((text_px + margin_px) * 4 + dlu_width - 1) / dlu_width);
}

QRect DialogToPixels(const QRect& units, DialogBaseUnits base) {
  return QRect(units.x() * base.width / 4, units.y() * base.height / 8,
               units.width() * base.width / 4, units.height() * base.height / 8);
}

}  // namespace zentrel
