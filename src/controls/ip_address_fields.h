// The four fields of an IP address control, without the widget: each field
// holds 0 to 255, and a blank field reads as 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zv {

// The value of one field's text: blank reads 0; digits above 255 read 255;
// anything that is not digits reads 0.
uint8_t IpFieldValue(std::string_view text);
// The four field texts of an address "a.b.c.d"; a text that is not four
// dot-separated fields of digits leaves all four blank.
std::array<std::string, 4> IpFieldTexts(std::string_view address);

// What typing does to the four fields, the way people know it from IP
// address fields. The caret sits in one field; typing fills it, a third
// digit moves on to the next field, and the keys below do the rest.
enum class IpEditKey { kDot, kBackspace, kDelete, kLeft, kRight, kHome, kEnd, kSelectAll };

class IpAddressEditor {
 public:
  static constexpr int kFieldCount = 4;

  const std::array<std::string, 4>& Fields() const { return m_fields; }
  int CurrentField() const { return m_field; }
  size_t Caret() const { return m_caret; }
  // Typing replaces the whole text of the current field.
  bool FieldSelected() const { return m_field_selected; }
  // Typing replaces the whole address.
  bool AllSelected() const { return m_all_selected; }

  // Fills the four fields (as IpFieldTexts gives them) with the caret at the
  // start of the first.
  void SetFields(const std::array<std::string, 4>& fields);
  // The operator put the caret at `caret` in field `field` (a click), or
  // entered the field with the whole of it selected (Tab).
  void PlaceCaret(int field, size_t caret);
  void EnterField(int field);

  // A typed character: digits go into the field, "." and space end it,
  // anything else is refused. Returns the value typed when it was above 255
  // (the field then holds 255), so that the operator can be told.
  std::optional<unsigned> Type(char c);
  void Press(IpEditKey key);
  // Pasted text: a whole dotted address fills all four fields; anything else
  // goes in as typed. Returns the first value above 255, as Type does.
  std::optional<unsigned> Paste(std::string_view text);

 private:
  std::optional<unsigned> TypeDigit(char digit);
  void MoveTo(int field, size_t caret, bool select_field);
  // Empties what is selected (the whole address or one field); false when
  // nothing was selected.
  bool ClearSelection();
  std::string& Text() { return m_fields[static_cast<size_t>(m_field)]; }

  std::array<std::string, 4> m_fields{};
  int m_field = 0;
  size_t m_caret = 0;
  bool m_field_selected = false;
  bool m_all_selected = false;
  // The caret moved on by itself after a full field: a "." typed next is the
  // one the operator meant for that move, and does nothing.
  bool m_advanced = false;
};

// What the operator is told about a value above 255.
std::string IpOctetTooLargeText(unsigned value);

}  // namespace zv
