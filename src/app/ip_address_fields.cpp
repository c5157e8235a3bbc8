#include "app/ip_address_fields.h"

namespace zv {

uint8_t IpFieldValue(std::string_view text) {
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 255) value = 255;
  }
  return static_cast<uint8_t>(value);
}

std::array<std::string, 4> IpFieldTexts(std::string_view address) {
  std::array<std::string, 4> fields;
  size_t field = 0;
  for (char c : address) {
    if (c == '.') {
      if (++field == fields.size()) return {};
    } else if (c >= '0' && c <= '9' && fields[field].size() < 3) {
      fields[field].push_back(c);
    } else {
      return {};
    }
  }
  if (field != fields.size() - 1) return {};
  for (std::string& text : fields)
    if (!text.empty()) text = std::to_string(IpFieldValue(text));
  return fields;
}

}  // namespace zv
