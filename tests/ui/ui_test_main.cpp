// UI tests run on the offscreen platform. The variable is set here, before
// the application object exists, because test discovery runs this binary at
// build time, outside ctest's environment. The matrix lock is kept in the
// user's state folder: each run of the tests gets a folder of its own, so a
// test never reads or leaves a lock in the user's. Panels do not read their
// devices back on their own unless a test asks for it (the frames a test
// counts are its own).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "session/device_session.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char state[] = "/tmp/zv_ui_state_XXXXXX";
  if (mkdtemp(state)) setenv("XDG_STATE_HOME", state, 1);
  QApplication app(argc, argv);
  zv::DeviceSession::SetFollowPeriodMs(0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
