#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/platform.h"

namespace zv {
namespace {

std::vector<std::string>& ExtraPorts() {
  static std::vector<std::string> paths;
  return paths;
}

std::string FirstLine(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

std::vector<std::string> ListSerialPorts(const std::string& sys_class_tty,
                                         const std::string& dev_dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> ports;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(sys_class_tty, error)) {
    const fs::path tty = entry.path();
    const std::string name = tty.filename().string();
    // Consoles and pseudo-terminals have no device behind them.
    if (!fs::exists(tty / "device", error)) continue;
    // The UART slots exist whether or not a chip answers there; the kernel
    // reports type 0 for an empty slot.
    const fs::path type = tty / "type";
    if (fs::exists(type, error) && FirstLine(type) == "0") continue;
    const fs::path node = fs::path(dev_dir) / name;
    if (!fs::exists(node, error)) continue;
    ports.push_back(node.string());
  }
  std::sort(ports.begin(), ports.end());
  return ports;
}

void SetExtraSerialPorts(std::vector<std::string> paths) { ExtraPorts() = std::move(paths); }

const std::vector<std::string>& ExtraSerialPorts() { return ExtraPorts(); }

std::vector<std::string> SerialPortLines(const std::vector<std::string>& named_ports,
                                         const std::vector<std::string>& machine_ports) {
  std::vector<std::string> lines;
  for (const auto* ports : {&named_ports, &machine_ports})
    for (const std::string& port : *ports)
      if (!port.empty() && std::find(lines.begin(), lines.end(), port) == lines.end())
        lines.push_back(port);
  return lines;
}

}  // namespace zv
