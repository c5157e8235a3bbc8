// The four fields of an IP address control, without the widget: each field
// holds 0 to 255, and a blank field reads as 0.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zv {

// The value of one field's text: blank reads 0; digits above 255 read 255;
// anything that is not digits reads 0.
uint8_t IpFieldValue(std::string_view text);
// The four field texts of an address "a.b.c.d"; a text that is not four
// dot-separated fields of digits leaves all four blank.
std::array<std::string, 4> IpFieldTexts(std::string_view address);

}  // namespace zv
