#include "ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <QString>
#include <algorithm>

namespace zema {

DialogUnits DialogUnits::ForFont(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabetWidth = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  // Average over 26 pairs of letters, rounded half up.
  const int baseX = (alphabetWidth / 26 + 1) / 2;
  return DialogUnits(std::max(baseX, 1), std::max(metrics.height(), 1));
}

QRect DialogUnits::ToPixels(const DialogRect& rect) const {
  return QRect(ToPixelsX(rect.x), ToPixelsY(rect.y), ToPixelsX(rect.width), ToPixelsY(rect.height));
}

}  // namespace zema
