#include "switcher/stream_viewer.h"

#include "platform/platform.h"

namespace zv {
std::string StreamViewerPath(const std::string& exe_dir) { return InDir(exe_dir, kStreamViewerFileName); }

std::string InDir(const std::string& dir, const char* file) {
  return dir.empty() || dir.back() == '/' ? dir + file : dir + '/' + file;
}

StreamViewerLaunch LaunchStreamViewer(const std::string& exe_dir) {
  const std::string settings = SettingsFilePath("Configure.ini", exe_dir);
  if (ReadProfileString(kDecodeStateSection, kDecodeStateKey, "", settings) == "on") {
    Trace("decode page have open");
    return StreamViewerLaunch::kAlreadyOpen;
  }
  WriteProfileString(kDecodeStateSection, kDecodeStateKey, "on", settings);
  if (StartProgram(StreamViewerPath(exe_dir))) return StreamViewerLaunch::kStarted;
  // No viewer is open, so the marker must not say one is: otherwise the
  // button would stay dead until the program is started again.
  WriteProfileString(kDecodeStateSection, kDecodeStateKey, "off", settings);
  return StreamViewerLaunch::kStartFailed;
}

}  // namespace zv
