// The rows of the message table, shared by the loader and its tests.
#pragma once

#include <span>

namespace zema {

struct MessageRow {
  int id;
  const char* english;
  const char* german;
  const char* japanese;
};

// Messages 102 to 167, the rows in number order. A number without a row
// has no text: LoadMessage gives an empty one, as for any unknown number.
inline constexpr int kFirstMessage = 102;
inline constexpr int kLastMessage = 167;
inline constexpr int kMessageNumbers = kLastMessage - kFirstMessage + 1;

extern const std::span<const MessageRow> kMessageTable;

}  // namespace zema
