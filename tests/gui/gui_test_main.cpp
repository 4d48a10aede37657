// Entry point of the Qt tests: one QApplication for the whole binary, on the
// offscreen platform unless the environment asks for another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "res/messages.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  SetLanguage(Language::English);
  return RUN_ALL_TESTS();
}
