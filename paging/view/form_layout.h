// Dialog units to pixels for the send-page form. A dialog unit is a quarter
// of the form font's average character width across and an eighth of its
// height down, so the form keeps its proportions whatever font the desktop
// substitutes. A substitute may be wider in the form's words than in the
// letters' average: the width then grows until every label and button text
// fits its box.
#pragma once

#include <QFont>
#include <QRect>

namespace zentrel {

struct DialogBaseUnits {
  int width = 0;   // average character width in pixels
  int height = 0;  // character height in pixels
};

// The form's font: "MS Sans Serif", 8 point (or what the desktop maps it to).
QFont FormFont();
DialogBaseUnits BaseUnitsOf(const QFont& font);
// The average character width (at least `base.width`) with which `text`
// plus `margin_px` fits a control `dlu_width` dialog units wide.
int WidthToFit(const QFont& font, const QString& text, int margin_px, int dlu_width, int width);
// Left, top, width, height in dialog units to a pixel rectangle.
QRect DialogToPixels(const QRect& units, DialogBaseUnits base);

// The form's size in dialog units.
inline constexpr int kFormWidthDu = 284;
inline constexpr int kFormHeightDu = 219;

}  // namespace zentrel
