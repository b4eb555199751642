// The Qt tests run on Qt's offscreen platform with one 1024 x 768 screen at
// 96 dots per inch (15 twips a pixel), whatever display the machine has.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" SPC_OFFSCREEN_SCREENS);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication application(qtArgc, qtArgv);
  return RUN_ALL_TESTS();
}
