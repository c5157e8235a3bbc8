#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace zv {

// One discovered device, as the network search lists it.
struct DeviceEntry {
  char ip_text[16];    // dotted quad, NUL-padded, at most 15 characters
  uint8_t device_id;   // byte 5 of every frame sent to the device
  uint8_t device_type; // selects the panel; byte 4 of every frame

  std::string IpText() const { return std::string(ip_text, strnlen(ip_text, sizeof ip_text)); }
  // Stores at most 15 characters and pads the rest with NUL bytes.
  void SetIpText(const std::string& text) {
    std::memset(ip_text, 0, sizeof ip_text);
    std::memcpy(ip_text, text.data(), text.size() < sizeof ip_text ? text.size() : sizeof ip_text - 1);
  }
};
static_assert(sizeof(DeviceEntry) == 18);

// How many devices the list holds unless told otherwise (--device-list-cap):
// more than any one facility has.
inline constexpr int kDefaultDeviceListCap = 4096;
// The largest cap the options take.
inline constexpr int kMaxDeviceListCap = 1000000;

}  // namespace zv
