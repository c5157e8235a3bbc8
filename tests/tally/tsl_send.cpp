// The tests' own TSL sender: one UDP datagram (or one TCP connection's
// bytes), from a chosen loopback address, as a separate process.
//
//   tsl_send [--from ADDR] [--tcp] HOST PORT 31 ADDRESS TALLIES TEXT
//   tsl_send [--from ADDR] [--tcp] HOST PORT raw HEX
//
// 31 builds a TSL UMD 3.1 packet by hand (0x80 + address, the control byte
// with tallies such as "13" for tally 1 and 3 and brightness 3, 16
// characters of text padded with spaces); raw sends the bytes given.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string from;
  bool tcp = false;
  while (!args.empty() && args[0].rfind("--", 0) == 0) {
    if (args[0] == "--tcp") {
      tcp = true;
      args.erase(args.begin());
    } else if (args[0] == "--from" && args.size() > 1) {
      from = args[1];
      args.erase(args.begin(), args.begin() + 2);
    } else {
      break;
    }
  }
  std::vector<unsigned char> bytes;
  if (args.size() == 6 && args[2] == "31") {
    bytes.push_back(static_cast<unsigned char>(0x80 + std::atoi(args[3].c_str())));
    unsigned char control = 0x30;
    for (char c : args[4])
      if (c >= '1' && c <= '4') control |= static_cast<unsigned char>(1 << (c - '1'));
    bytes.push_back(control);
    std::string text = args[5];
    text.resize(16, ' ');
    bytes.insert(bytes.end(), text.begin(), text.end());
  } else if (args.size() == 4 && args[2] == "raw") {
    for (size_t i = 0; i + 1 < args[3].size(); i += 2)
      bytes.push_back(static_cast<unsigned char>(std::stoi(args[3].substr(i, 2), nullptr, 16)));
  } else {
    std::fprintf(stderr, "usage: tsl_send [--from ADDR] [--tcp] HOST PORT (31 ADDRESS TALLIES TEXT | raw HEX)\n");
    return 2;
  }
  const int fd = socket(AF_INET, tcp ? SOCK_STREAM : SOCK_DGRAM, 0);
  if (!from.empty()) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      std::perror("bind");
      return 1;
    }
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(std::atoi(args[1].c_str())));
  if (inet_pton(AF_INET, args[0].c_str(), &to.sin_addr) != 1) return 2;
  if (tcp) {
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 ||
        send(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
      std::perror("tcp");
      return 1;
    }
    shutdown(fd, SHUT_WR);
    char drain[64];
    while (recv(fd, drain, sizeof drain, 0) > 0) {
    }
  } else if (sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) !=
             static_cast<ssize_t>(bytes.size())) {
    std::perror("udp");
    return 1;
  }
  close(fd);
  return 0;
}
