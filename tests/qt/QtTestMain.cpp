// The Qt suites' entry: one QApplication (on the offscreen platform that the
// test command sets) for all the tests of a program; it outlives every
// widget and is gone before static objects are.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
