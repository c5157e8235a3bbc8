// zv_device_sim: runs virtual devices for the panel to find and control.
#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "link/link_state.h"
#include "sim/device_sim.h"

namespace {

const char kUsage[] =
    "usage: zv_device_sim [options]\n"
    "  --device SPEC      a device: type=0xA1,id=1,name=Studio1,addr=127.0.0.2\n"
    "                     [,silent][,delay=MS][,truncate=N][,repeat=N]; may repeat.\n"
    "                     A four-channel switcher (0x60) also takes signals=1101:\n"
    "                     which of inputs 1 to 4 carry a signal (default 1101).\n"
    "                     While it runs, the text \"signals 1010\" sent by UDP to its\n"
    "                     address changes them (it answers with the new pattern).\n"
    "                     Without --device: one device of each family on\n"
    "                     127.0.0.2 (0xA1), .3 (0x82), .4 (0x60), .5 (0xA5).\n"
    "  --count N          stand up N devices instead: the --device options (without\n"
    "                     them the four families) are taken in turn as patterns,\n"
    "                     on consecutive addresses from the first pattern's address\n"
    "                     (without --device from 127.0.1.1), leaving out every\n"
    "                     address that ends in .0 or .255; each is named after its\n"
    "                     pattern with its number (Multiviewer16.1, Matrix8x8.2 ...)\n"
    "  --front-panel-change SECONDS\n"
    "                     every SECONDS (0.01 to 86400) each device changes one\n"
    "                     value of its state, as a person at its front panel would:\n"
    "                     the multiviewer its layout, format, a window's input, the\n"
    "                     audio channel or a switch; the four-channel switcher its\n"
    "                     show mode, format, loop, loop time or a PIP channel; the\n"
    "                     router one route; the production switcher its programme\n"
    "                     or preview source. Each device's first change comes at a\n"
    "                     moment of its own within the first period. Logged as\n"
    "                     {\"t_ms\":..,\"device\":..,\"front_panel\":\"layout\",\"value\":9}\n"
    "                     (with \"window\", \"output\" or \"pip\" where the value\n"
    "                     belongs to one); read-backs answer with the new state\n"
    "  --seed N           seeds the front-panel changes (default 1): the same seed\n"
    "                     makes the same changes\n"
    "  --hub ADDR         address the discovery socket binds (default 127.255.255.255,\n"
    "                     the loopback broadcast; 0.0.0.0 inside a network namespace).\n"
    "                     The panel finds the default devices with\n"
    "                     zv_multiview --search-address 127.255.255.255\n"
    "  --port N           the devices' UDP port (default 7000)\n"
    "  --silent           no device answers anything\n"
    "  --delay MS         every answer leaves MS later\n"
    "  --truncate N       every answer is cut to N bytes\n"
    "  --serial           put one device behind a pseudo-terminal (prints its path)\n"
    "  --serial-device I  which device (0-based, default 0) answers on the serial line\n"
    "  --serial-link PATH also make PATH a symbolic link to the pseudo-terminal\n"
    "  --log FILE         write the JSON lines to FILE instead of standard output\n"
    "  --quiet            log nothing\n"
    "  --version          print the version and stop\n"
    "  --help             print this help and stop\n";

bool Number(const char* text, long min, long max, long* out) {
  return zv::sim::ParseNumber(text, min, max, out);
}

}  // namespace

int main(int argc, char** argv) {
  zv::sim::SimConfig config;
  bool silent = false;
  long delay = -1, truncate = -1;
  std::string log_path;
  bool quiet = false;
  long count = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "zv_device_sim: %s needs a value\n%s", arg.c_str(), kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    long n = 0;
    if (arg == "--device") {
      zv::sim::DeviceConfig device;
      std::string error;
      if (!zv::sim::ParseDeviceSpec(value(), &device, &error)) {
        std::fprintf(stderr, "zv_device_sim: --device: %s\n", error.c_str());
        return 2;
      }
      config.devices.push_back(device);
    } else if (arg == "--count" && Number(value(), 1, 60000, &count)) {
    } else if (arg == "--front-panel-change") {
      const char* text = value();
      char* rest = nullptr;
      const double seconds = std::strtod(text, &rest);
      if (*text == 0 || *rest != 0 || !(seconds >= 0.01 && seconds <= 86400)) {
        std::fprintf(stderr, "zv_device_sim: --front-panel-change takes seconds from 0.01 to 86400, not \"%s\"\n%s",
                     text, kUsage);
        return 2;
      }
      config.front_panel_ms = static_cast<uint32_t>(seconds * 1000 + 0.5);
    } else if (arg == "--seed" && Number(value(), 0, 0xFFFFFFFFL, &n)) {
      config.seed = static_cast<uint32_t>(n);
    } else if (arg == "--hub") {
      config.hub_address = value();
      if (!zv::ParseIpv4Address(config.hub_address, nullptr)) {
        std::fprintf(stderr, "zv_device_sim: --hub must be an IPv4 address, not \"%s\"\n%s",
                     config.hub_address.c_str(), kUsage);
        return 2;
      }
    } else if (arg == "--port" && Number(value(), 1, 65535, &n)) {
      config.port = static_cast<uint16_t>(n);
    } else if (arg == "--silent") {
      silent = true;
    } else if (arg == "--delay" && Number(value(), 0, 60000, &delay)) {
    } else if (arg == "--truncate" && Number(value(), 0, 65535, &truncate)) {
    } else if (arg == "--serial") {
      config.serial = true;
    } else if (arg == "--serial-device" && Number(value(), 0, 1000, &n)) {
      config.serial_device = static_cast<int>(n);
    } else if (arg == "--serial-link") {
      config.serial_link = value();
    } else if (arg == "--log") {
      log_path = value();
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--version" || arg == "-v") {
      std::printf("zv_device_sim %s\n", ZV_VERSION);
      return 0;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::fprintf(stderr, "zv_device_sim: bad option or value: %s\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (count > 0) {
    std::vector<zv::sim::DeviceConfig> patterns = config.devices;
    std::string first = patterns.empty() ? zv::sim::kFirstCountedAddress : patterns[0].address;
    if (patterns.empty()) patterns = zv::sim::DefaultDevices();
    std::string error;
    if (!zv::sim::CountedDevices(patterns, static_cast<int>(count), first, &config.devices, &error)) {
      std::fprintf(stderr, "zv_device_sim: --count: %s\n", error.c_str());
      return 2;
    }
    // One socket a device: the soft limit on open files grows to the hard one.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
      files.rlim_cur = files.rlim_max;
      setrlimit(RLIMIT_NOFILE, &files);
    }
  }
  if (config.devices.empty()) config.devices = zv::sim::DefaultDevices();
  for (zv::sim::DeviceConfig& d : config.devices) {
    if (silent) d.faults.silent = true;
    if (delay >= 0) d.faults.delay_ms = static_cast<uint32_t>(delay);
    if (truncate >= 0) d.faults.truncate = static_cast<int>(truncate);
  }
  FILE* log = stdout;
  if (quiet) log = nullptr;
  if (!log_path.empty() && !quiet) {
    log = std::fopen(log_path.c_str(), "a");
    if (!log) {
      std::perror(log_path.c_str());
      return 1;
    }
  }
  config.log = log;
  // A program left running all day keeps no copy of what it logged.
  config.keep_log_lines = false;

  // SIGINT and SIGTERM end the run through a descriptor the loop waits on.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
  const int stop_fd = signalfd(-1, &stop_signals, SFD_CLOEXEC);

  zv::sim::DeviceSim sim(config);
  std::string error;
  if (!sim.Start(&error)) {
    std::fprintf(stderr, "zv_device_sim: %s\n", error.c_str());
    return 1;
  }
  if (count > 0) {
    std::fprintf(stderr, "zv_device_sim: %zu devices at %s to %s:%u\n", sim.DeviceCount(),
                 sim.Device(0).Config().address.c_str(),
                 sim.Device(sim.DeviceCount() - 1).Config().address.c_str(), config.port);
  } else {
    for (size_t i = 0; i < sim.DeviceCount(); ++i) {
      const zv::sim::DeviceConfig& d = sim.Device(i).Config();
      std::fprintf(stderr, "zv_device_sim: device %s type 0x%02X id %u at %s:%u\n", d.name.c_str(),
                   d.type, d.id, d.address.c_str(), config.port);
    }
  }
  std::fprintf(stderr, "zv_device_sim: discovery on %s:%u\n", config.hub_address.c_str(), config.port);
  // On loopback the panel's default search does not reach the devices:
  // the line says what does.
  if (config.hub_address.rfind("127.", 0) == 0) {
    std::string panel = "zv_multiview --search-address " + config.hub_address;
    if (config.port != 7000) panel += " --device-port " + std::to_string(config.port);
    std::fprintf(stderr, "zv_device_sim: the panel finds them with: %s\n", panel.c_str());
  }
  if (config.serial)
    std::fprintf(stderr, "zv_device_sim: serial %s\n", sim.SerialPath().c_str());
  std::fprintf(stderr, "zv_device_sim: ready\n");
  sim.Run(stop_fd);
  close(stop_fd);
  if (log && log != stdout) std::fclose(log);
  return 0;
}
