// Windows opened and closed give their memory back: after the first time,
// opening and closing a window of the program again and again leaves no
// widget, no object under the main window or the application and no heap
// behind; and a moment after a window closed, the heap's free pages go back
// to the system.
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include "app/main_window.h"
#include "app/qt_message_box.h"
#include "app/set_configure.h"
#include "controls/heap_policy.h"
#include "monitor/frame_monitor_window.h"
#include "platform/platform.h"
#include "res/dialog_templates.h"

namespace zv {
namespace {

LinkConfig LoopbackConfig() {
  LinkConfig c;
  c.local_port = 0;
  c.search_address = "127.0.0.1";
  return c;
}

// What the heap hands out now, in the window's thread.
long long HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<long long>(m.uordblks + m.hblkhd);
}

long long ResidentBytes() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return -1;
  long size = 0, resident = -1;
  if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = -1;
  std::fclose(f);
  return static_cast<long long>(resident) * sysconf(_SC_PAGESIZE);
}

// Answers each message box of the program's own with a click on one of its
// buttons, the last one first (Cancel where there is one), as it shows.
class BoxAnswerer {
 public:
  BoxAnswerer() : m_previous(SetMessageBoxHandler(nullptr)) {
    InstallQtMessageBox();
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          const QList<QAbstractButton*> buttons = box->buttons();
          QTest::mouseClick(buttons[m_answered++ % buttons.size()], Qt::LeftButton);
        }
    });
    m_timer.start(5);
  }
  ~BoxAnswerer() { SetMessageBoxHandler(std::move(m_previous)); }

 private:
  MessageBoxHandler m_previous;
  QTimer m_timer;
  int m_answered = 0;
};

struct Census {
  qsizetype widgets, windows, under_main, under_app;
};

Census Count(const CZELVIKDlg& dlg) {
  return {QApplication::allWidgets().size(), QApplication::topLevelWidgets().size(),
          dlg.findChildren<QObject*>().size(), qApp->findChildren<QObject*>().size()};
}

// Each window as a person opens and closes it. After three rounds (the
// fonts' glyphs and the settings window kept for its port are made once),
// twenty more leave the counts where they were and, once the heap was
// trimmed after the last close, the heap within a few kilobytes. Qt's cache
// of drawn pictures kept the style's pictures of every window made, each
// under that window's palette or icon: about 32 kB for each device list
// window (its dark palette, set on each window, gave its fields palettes
// of their own), 2 kB for each message box.
TEST(WindowMemoryTest, WindowsOpenedAndClosedAgainLeaveNothingBehind) {
  if (!ReturnLargeBlocksToSystem()) GTEST_SKIP() << "not glibc's allocator (a sanitizer's?)";
  CZELVIKDlg dlg(LoopbackConfig());
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  BoxAnswerer answerer;
  // The heap once the window has given back what the last close freed.
  const auto heap_after_trim = [&] {
    const int trims = dlg.HeapTrims();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dlg.HeapTrims() > trims; }, 5000)) << "no trim";
    return HeapInUse();
  };

  struct Case {
    const char* window;
    long long most_kb;  // the heap's growth over the twenty rounds allowed
    std::function<void()> open_and_close;
  };
  const Case cases[] = {
      {"message box, OK", 32, [] { ShowMessageBox("The port is closed", "Link"); }},
      {"message box, OK and Cancel", 32,
       [] { ShowMessageBox("Change the address?", "Set", MessageBoxButtons::kOkCancel); }},
      {"frame monitor", 32,
       [&] {
         QTest::mouseClick(dlg.FrameMonitorButton(), Qt::LeftButton);
         ASSERT_NE(dlg.m_frame_monitor, nullptr);
         EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.m_frame_monitor));
         dlg.m_frame_monitor->close();  // as its close box does
       }},
      {"device list window", 16,
       [&] {
         dlg.activateWindow();  // the keys go to the window in front
         ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
         QTest::keyClick(&dlg, Qt::Key_D, Qt::ControlModifier);
         ASSERT_NE(dlg.Browser(), nullptr);
         EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.Browser()));
         dlg.Browser()->close();
       }},
      {"settings window", 32,
       [&] {
         QTest::mouseClick(static_cast<QAbstractButton*>(dlg.Item(kIdSet)), Qt::LeftButton);
         ASSERT_NE(dlg.m_pSetConfigure, nullptr);
         EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.m_pSetConfigure));
         QTest::keyClick(dlg.m_pSetConfigure, Qt::Key_Escape);
       }},
  };
  for (const Case& c : cases) {
    const auto round = [&] {
      c.open_and_close();
      // What a window deleted on close leaves to the event loop goes now.
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QCoreApplication::processEvents();
    };
    for (int i = 0; i < 3; ++i) round();
    const Census before = Count(dlg);
    const long long heap_before = heap_after_trim();
    for (int i = 0; i < 20; ++i) round();
    const Census after = Count(dlg);
    const long long heap_after = heap_after_trim();
    // Fewer is no fault: what earlier tests left to the event loop may go
    // meanwhile.
    EXPECT_LE(after.widgets, before.widgets) << c.window;
    EXPECT_LE(after.windows, before.windows) << c.window;
    EXPECT_LE(after.under_main, before.under_main) << c.window;
    EXPECT_LE(after.under_app, before.under_app) << c.window;
    EXPECT_LT(heap_after - heap_before, c.most_kb * 1024) << c.window << ": the heap grew from "
                                                     << heap_before << " to " << heap_after;
  }
}

// What a closed window freed mostly lies between blocks still in use, which
// glibc keeps resident: a second after the window closed, the free pages
// go back to the system.
TEST(WindowMemoryTest, FreedHeapGoesBackAMomentAfterAWindowCloses) {
  if (!ReturnLargeBlocksToSystem()) GTEST_SKIP() << "not glibc's allocator (a sanitizer's?)";
  CZELVIKDlg dlg(LoopbackConfig());
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  BoxAnswerer answerer;
  ShowMessageBox("First", "Link");  // the boxes' own first pictures
  QCoreApplication::processEvents();
  const int trims_before = dlg.HeapTrims();

  // 16 MB in small blocks, of which every sixteenth stays: the others,
  // freed, are holes of 60 kB between blocks in use, which glibc keeps
  // resident.
  constexpr size_t kBlock = 4096, kBlocks = 4096, kKeptEvery = 16;
  std::vector<void*> blocks;
  for (size_t i = 0; i < kBlocks; ++i) {
    blocks.push_back(std::malloc(kBlock));
    ASSERT_NE(blocks.back(), nullptr);
    std::memset(blocks.back(), 0x5A, kBlock);
  }
  for (size_t i = 0; i < kBlocks; ++i)
    if (i % kKeptEvery != kKeptEvery - 1) std::free(std::exchange(blocks[i], nullptr));
  const long long resident_with_holes = ResidentBytes();

  ShowMessageBox("The port is closed", "Link");
  ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.HeapTrims() > trims_before; }, 5000))
      << "no trim after the box closed";
  const long long resident_after = ResidentBytes();
  for (void* b : blocks) std::free(b);
  EXPECT_LT(resident_after, resident_with_holes - 10 * 1024 * 1024)
      << "resident: " << resident_with_holes << " bytes with the holes, " << resident_after
      << " after the box closed";
}

}  // namespace
}  // namespace zv
