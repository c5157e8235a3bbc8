// The STREAM button's launch, with a stand-in viewer in a temporary folder:
// a script that writes one line into a pipe the test reads.
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "support/recorders.h"
#include "switcher/stream_viewer.h"

namespace zv {
namespace {

namespace fs = std::filesystem;

class ViewerFolder {
 public:
  explicit ViewerFolder(const std::string& leaf) {
    char pattern[] = "/tmp/zv_viewer_XXXXXX";
    const char* base = mkdtemp(pattern);
    m_base = base ? base : "";
    m_dir = m_base + "/" + leaf;
    fs::create_directories(m_dir);
    m_fifo = m_dir + "/started";
    mkfifo(m_fifo.c_str(), 0600);
    // Opened before any viewer runs, so the viewer's write never blocks.
    m_reader = open(m_fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // A started viewer is a grandchild whose parent has ended before the
    // launch returns: this process adopts it, and so can wait for it.
    m_reaping = prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
  }
  ~ViewerFolder() {
    Reap();
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    if (m_reader >= 0) close(m_reader);
    std::error_code ignored;
    fs::remove_all(m_base, ignored);
  }
  ViewerFolder(const ViewerFolder&) = delete;
  ViewerFolder& operator=(const ViewerFolder&) = delete;

  const std::string& Dir() const { return m_dir; }
  std::string Settings() const { return m_dir + "/Configure.ini"; }

  // The stand-in viewer reports its arguments.
  void InstallViewer(mode_t mode = 0755) const {
    const std::string path = m_dir + "/DecodeH264.exe";
    std::ofstream(path) << "#!/bin/sh\necho \"args=$#\" > \"$(dirname \"$0\")/started\"\n";
    chmod(path.c_str(), mode);
  }

  // What the viewers started so far wrote, once every one of them has ended:
  // an empty text when none was started, with no wait for one that might be.
  std::string Starts() {
    if (!m_reaping) return "(cannot adopt the viewers)";
    Reap();
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(m_reader, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
  }

 private:
  // Waits for every adopted viewer to end (each writes its line and exits).
  static void Reap() {
    while (waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
    }
  }

  std::string m_base, m_dir, m_fifo;
  int m_reader = -1;
  bool m_reaping = false;
};

std::string Marker(const ViewerFolder& f) {
  return ReadProfileString("Settings", "decode_state", "<missing>", f.Settings());
}

TEST(StreamViewerTest, FirstPressStartsOneViewerAndTheSecondNone) {
  ViewerFolder folder("plain");
  folder.InstallViewer();
  ASSERT_EQ(WriteProfileString("Settings", "decode_state", "off", folder.Settings()), 1);
  EXPECT_EQ(LaunchStreamViewer(folder.Dir()), StreamViewerLaunch::kStarted);
  EXPECT_EQ(Marker(folder), "on");
  EXPECT_EQ(folder.Starts(), "args=0\n") << "started once, with no arguments";

  test::TraceRecorder trace;
  EXPECT_EQ(LaunchStreamViewer(folder.Dir()), StreamViewerLaunch::kAlreadyOpen);
  EXPECT_TRUE(trace.Has("decode page have open"));
  EXPECT_EQ(folder.Starts(), "");
}

TEST(StreamViewerTest, OnlyExactlyOnBlocks) {
  struct Case {
    const char* marker;  // nullptr: no settings file at all
    StreamViewerLaunch result;
  };
  const Case cases[] = {
      {"ON", StreamViewerLaunch::kStarted},
      {"On", StreamViewerLaunch::kStarted},
      {"", StreamViewerLaunch::kStarted},
      {nullptr, StreamViewerLaunch::kStarted},
      {"on", StreamViewerLaunch::kAlreadyOpen},
  };
  for (const Case& c : cases) {
    ViewerFolder folder("case");
    folder.InstallViewer();
    if (c.marker) WriteProfileString("Settings", "decode_state", c.marker, folder.Settings());
    SCOPED_TRACE(c.marker ? c.marker : "(no file)");
    EXPECT_EQ(LaunchStreamViewer(folder.Dir()), c.result);
    EXPECT_EQ(Marker(folder), "on");
    const bool started = c.result == StreamViewerLaunch::kStarted;
    EXPECT_EQ(folder.Starts(), started ? "args=0\n" : "");
  }
}

TEST(StreamViewerTest, PathWithSpaces) {
  ViewerFolder folder("Program Files/zv multiview");
  folder.InstallViewer();
  EXPECT_EQ(LaunchStreamViewer(folder.Dir()), StreamViewerLaunch::kStarted);
  EXPECT_EQ(folder.Starts(), "args=0\n");
  EXPECT_EQ(Marker(folder), "on");
}

TEST(StreamViewerTest, AViewerThatCannotStartLeavesTheButtonUsable) {
  struct Case {
    const char* what;
    bool install;
    mode_t mode;
  };
  const Case cases[] = {{"missing", false, 0}, {"not executable", true, 0644}};
  for (const Case& c : cases) {
    ViewerFolder folder("broken");
    if (c.install) folder.InstallViewer(c.mode);
    EXPECT_EQ(LaunchStreamViewer(folder.Dir()), StreamViewerLaunch::kStartFailed) << c.what;
    EXPECT_EQ(Marker(folder), "off") << c.what;
    // Once the viewer is in place, the next press starts it.
    folder.InstallViewer();
    EXPECT_EQ(LaunchStreamViewer(folder.Dir()), StreamViewerLaunch::kStarted) << c.what;
    EXPECT_EQ(folder.Starts(), "args=0\n") << c.what;
  }
}

}  // namespace
}  // namespace zv
