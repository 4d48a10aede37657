// The rows of the message table, shared by the loader and its tests.
#pragma once

#include <array>

struct MessageRow {
  int id;
  const char* english;
  const char* german;
  const char* japanese;
};

// Messages 102 to 151.
inline constexpr int kFirstMessage = 102;
inline constexpr int kLastMessage = 151;
inline constexpr int kMessageCount = kLastMessage - kFirstMessage + 1;

extern const std::array<MessageRow, kMessageCount> kMessageTable;
