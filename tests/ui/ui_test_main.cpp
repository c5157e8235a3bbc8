// UI tests run on the offscreen platform. The variable is set here, before
// the application object exists, because test discovery runs this binary at
// build time, outside ctest's environment. The matrix lock is kept in the
// user's state folder, and salvos in the user's data folder: each run of
// the tests gets folders of its own, so a test never reads or leaves a lock
// or a salvo in the user's. Panels do not read their
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
  char data[] = "/tmp/zv_ui_data_XXXXXX";
  if (mkdtemp(data)) setenv("XDG_DATA_HOME", data, 1);
  QApplication app(argc, argv);
  zv::DeviceSession::SetFollowPeriodMs(0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
