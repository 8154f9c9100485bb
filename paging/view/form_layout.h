// Dialog units to pixels for the send-page form. A dialog unit is a quarter
// of the form font's average character width across and an eighth of its
// height down, so the form keeps its proportions whatever font the desktop
// substitutes.
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
// Left, top, width, height in dialog units to a pixel rectangle.
QRect DialogToPixels(const QRect& units, DialogBaseUnits base);

// The form's size in dialog units.
inline constexpr int kFormWidthDu = 284;
inline constexpr int kFormHeightDu = 219;

}  // namespace zentrel
