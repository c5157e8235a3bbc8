// The STREAM button's viewer: a separate program beside this one, started
// with no arguments. A marker in the settings file keeps a second press from
// starting a second viewer while one is open.
#pragma once

#include <string>

namespace zv {

inline constexpr const char* kStreamViewerFileName = "DecodeH264.exe";
inline constexpr const char* kDecodeStateSection = "Settings";
inline constexpr const char* kDecodeStateKey = "decode_state";

enum class StreamViewerLaunch {
  kAlreadyOpen,  // the marker says "on"; nothing started
  kStarted,
  kStartFailed,  // the marker is back to "off", so the next press tries again
};

// Reads "decode_state" of "Configure.ini" in `exe_dir` (or in the settings
// folder when `exe_dir` is not writable); exactly "on" blocks.
// Otherwise writes "on" and starts the viewer that lies in `exe_dir`.
StreamViewerLaunch LaunchStreamViewer(const std::string& exe_dir);
// Where the viewer is looked for.
std::string StreamViewerPath(const std::string& exe_dir);
// `file` in folder `dir`.
std::string InDir(const std::string& dir, const char* file);

}  // namespace zv
