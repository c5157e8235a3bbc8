// The virtual 8x8 matrix router (types 0x81 and 0x82). It takes the three
// routing texts over UDP and over the serial line, keeps its routing, and
// answers nothing, as the real router does. Tests read its routing while the
// simulator runs on a thread of its own.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/device_sim.h"

namespace zv::sim {

class MatrixDevice : public SimDevice {
 public:
  explicit MatrixDevice(DeviceConfig config);

  std::vector<Bytes> OnText(const std::string& text, Link link) override;
  // One output takes another input.
  std::optional<FrontPanelChange> ChangeAtFrontPanel(std::mt19937& random) override;

  // Entry o - 1: the input output o takes.
  std::array<uint8_t, 8> Routes() const;
  // How many texts it took and how many it refused.
  int TextsTaken() const;
  int TextsRefused() const;

 private:
  mutable std::mutex m_mutex;
  // Out of the box every input feeds the output of its own number.
  std::array<uint8_t, 8> m_routes{1, 2, 3, 4, 5, 6, 7, 8};
  int m_texts_taken = 0;
  int m_texts_refused = 0;
};

}  // namespace zv::sim
