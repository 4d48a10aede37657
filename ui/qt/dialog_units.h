// Dialog units: the font-relative measure that dialog templates use.
//
// Horizontally a unit is a quarter of the font's average character width,
// vertically an eighth of its height, so a layout keeps its proportions
// whatever font and screen resolution the dialog ends up with.
#pragma once

#include <QFont>
#include <QRect>

#include "res/dialog_templates.h"

namespace zema {

class DialogUnits {
 public:
  // Base units measured from `font`: the average width of the 52 letters
  // of the Latin alphabet (rounded as the classic dialog manager rounds
  // it) and the font's line height.
  static DialogUnits ForFont(const QFont& font);
  DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

  int baseX() const { return baseX_; }
  int baseY() const { return baseY_; }

  // Dialog units to pixels, rounded to the nearest pixel.
  int ToPixelsX(int units) const { return (units * baseX_ + 2) / 4; }
  int ToPixelsY(int units) const { return (units * baseY_ + 4) / 8; }
  QRect ToPixels(const DialogRect& rect) const;

 private:
  int baseX_;
  int baseY_;
};

}  // namespace zema
