// The entry of every test program: the application object the windows and
// posted notifications need, on the offscreen platform unless told otherwise.
#include <gtest/gtest.h>

#include <cstdlib>

#include "errordisplay.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
