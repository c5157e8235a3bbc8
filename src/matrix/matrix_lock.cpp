#include "matrix/matrix_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "link/local_networks.h"

namespace zv {
namespace {

// The marker's name, or empty when `address` is not a dotted quad.
std::string LockName(const std::string& address, std::string* error) {
  uint32_t host = 0;
  if (!ParseIpv4(address, &host)) {
    *error = "ADDR must be an IPv4 address, not '" + address + "'";
    return {};
  }
  return "zvctl-matrix-locked-" + Ipv4Text(host);
}

// Where the marker was kept before the state folder: honoured and removed,
// so that a router locked before stays locked.
std::string OldLockPath(const std::string& name) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config && config[0] == '/') return std::string(config) + "/zv_multiview/" + name;
  if (home && home[0] == '/') return std::string(home) + "/.config/zv_multiview/" + name;
  return {};
}

// Makes `folder` and its missing parents, each private to the user.
bool MakePrivateFolder(const std::string& folder, std::string* error) {
  for (size_t slash = 1; slash <= folder.size(); ++slash) {
    if (slash < folder.size() && folder[slash] != '/') continue;
    const std::string part = folder.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "cannot make the folder " + part + " (" + std::strerror(errno) + ")";
      return false;
    }
  }
  struct stat st{};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = "cannot use the folder " + folder + " (not a folder)";
    return false;
  }
  return true;
}

// Whether a marker exists; a folder that cannot be searched leaves the
// question open.
std::optional<bool> MarkerExists(const std::string& path, std::string* error) {
  if (path.empty()) return false;
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) return true;
  if (errno == ENOENT || errno == ENOTDIR) return false;
  *error = "cannot tell whether the router is locked: " + path + " (" + std::strerror(errno) + ")";
  return std::nullopt;
}

}  // namespace

std::string MatrixLockFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') return std::string(state) + "/zv_multiview";
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return {};
  return std::string(home) + "/.local/state/zv_multiview";
}

std::optional<bool> ReadMatrixLock(const std::string& address, std::string* error) {
  const std::string name = LockName(address, error);
  if (name.empty()) return std::nullopt;
  const std::string folder = MatrixLockFolder();
  if (!folder.empty()) {
    const std::optional<bool> here = MarkerExists(folder + "/" + name, error);
    if (!here || *here) return here;
  }
  return MarkerExists(OldLockPath(name), error);
}

bool WriteMatrixLock(const std::string& address, bool on, std::string* error) {
  const std::string name = LockName(address, error);
  if (name.empty()) return false;
  const std::string folder = MatrixLockFolder();
  if (folder.empty()) {
    *error = "no folder for the matrix lock: neither XDG_STATE_HOME nor HOME is set";
    return false;
  }
  const std::string path = folder + "/" + name;
  if (on) {
    if (!MakePrivateFolder(folder, error)) return false;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      *error = "cannot write " + path + " (" + std::strerror(errno) + ")";
      return false;
    }
    static constexpr char kText[] = "locked\n";
    const bool written = write(fd, kText, sizeof kText - 1) == static_cast<ssize_t>(sizeof kText - 1);
    if (close(fd) != 0 || !written) {
      *error = "cannot write " + path;
      return false;
    }
    return true;
  }
  for (const std::string& marker : {path, OldLockPath(name)})
    if (!marker.empty() && unlink(marker.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR) {
      *error = "cannot remove " + marker + " (" + std::strerror(errno) + ")";
      return false;
    }
  return true;
}

}  // namespace zv
