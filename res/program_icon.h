// The program icon (icon 128): the sensor's blue body with its colour lens
// and a green two-way arrow for the transfer between sensor and PC.
//
// Drawn in res/zema-loader.svg; res/zema-loader.png is its 256 x 256
// rendering (scripts/render-icon.sh), which the Qt shell compiles in as a
// Qt resource under this name and a desktop entry can use as it is.
#pragma once

namespace zema {

inline constexpr char kProgramIconResource[] = ":/icons/zema-loader.png";

}  // namespace zema
