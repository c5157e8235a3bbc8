// UI tests run on the offscreen platform. The variable is set here, before
// the application object exists, because test discovery runs this binary at
// build time, outside ctest's environment. The matrix lock is kept in the
// user's state folder: each run of the tests gets a folder of its own, so a
// test never reads or leaves a lock in the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char state[] = "/tmp/zv_ui_state_XXXXXX";
  if (mkdtemp(state)) setenv("XDG_STATE_HOME", state, 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
