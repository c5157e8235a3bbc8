// The panel's end of the LAN tests, run inside a network namespace with the
// program's real defaults: port 7000 at both ends and the search sent to
// 255.255.255.255 and to every interface's directed broadcast, or only to
// the address given with --search-address. It runs the program's own network
// search, prints each line it found, then sends a Cut to every device it
// found.
//   zv_link_probe [--search-address ADDR]
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/link_state.h"

int main(int argc, char* argv[]) {
  zv::LinkState link;  // the program's defaults
  link.m_link_config.search_every_interface = true;
  if (argc == 3 && std::strcmp(argv[1], "--search-address") == 0) {
    link.m_link_config.search_address = argv[2];
    link.m_link_config.search_every_interface = false;
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: zv_link_probe [--search-address ADDR]\n");
    return 2;
  }
  std::vector<std::string> lines;
  const int found = link.SearchNetworkDevices(&lines);
  if (found < 0) {
    std::printf("panel: the scan socket could not be prepared\n");
    return 1;
  }
  for (int i = 0; i < found; ++i)
    std::printf("panel found %s type %02X id %02X\n", lines[static_cast<size_t>(i)].c_str(),
                link.m_device_list[i].device_type, link.m_device_list[i].device_id);
  std::printf("panel found %d devices\n", found);
  std::fflush(stdout);
  for (int i = 0; i < found; ++i) {
    link.m_device_index = static_cast<int8_t>(i);
    link.SendCommand(0x83);  // Cut
  }
  return found > 0 ? 0 : 1;
}
