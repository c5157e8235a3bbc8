#include "controls/ip_address_fields.h"

#include <algorithm>

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

namespace zv {

void IpAddressEditor::SetFields(const std::array<std::string, 4>& fields) {
  m_fields = fields;
  MoveTo(0, 0, false);
}

void IpAddressEditor::MoveTo(int field, size_t caret, bool select_field) {
  m_field = std::clamp(field, 0, kFieldCount - 1);
  m_caret = std::min(caret, Text().size());
  m_field_selected = select_field && !Text().empty();
  m_all_selected = false;
  m_advanced = false;
}

void IpAddressEditor::PlaceCaret(int field, size_t caret) { MoveTo(field, caret, false); }

void IpAddressEditor::EnterField(int field) { MoveTo(field, 0, true); }

std::optional<unsigned> IpAddressEditor::Type(char c) {
  if (c >= '0' && c <= '9') return TypeDigit(c);
  if (c != '.' && c != ' ') return std::nullopt;
  Press(IpEditKey::kDot);
  return std::nullopt;
}

std::optional<unsigned> IpAddressEditor::TypeDigit(char digit) {
  if (m_all_selected) {
    for (std::string& text : m_fields) text.clear();
    MoveTo(0, 0, false);
  }
  if (m_field_selected) {
    Text().clear();
    m_caret = 0;
    m_field_selected = false;
  }
  // A full field takes no fourth digit: it goes to the start of the next.
  if (Text().size() >= 3) {
    if (m_caret < Text().size() || m_field + 1 >= kFieldCount) return std::nullopt;
    MoveTo(m_field + 1, 0, false);
    Text().clear();
  }
  m_advanced = false;
  Text().insert(m_caret++, 1, digit);
  std::optional<unsigned> too_large;
  unsigned value = 0;
  for (char c : Text()) value = value * 10 + static_cast<unsigned>(c - '0');
  if (value > 255) {
    too_large = value;
    Text() = "255";
    m_caret = Text().size();
  }
  if (Text().size() == 3 && m_caret == 3 && m_field + 1 < kFieldCount) {
    MoveTo(m_field + 1, 0, true);
    m_advanced = true;
  }
  return too_large;
}

bool IpAddressEditor::ClearSelection() {
  if (m_all_selected) {
    for (std::string& text : m_fields) text.clear();
    MoveTo(0, 0, false);
    return true;
  }
  if (m_field_selected) {
    Text().clear();
    MoveTo(m_field, 0, false);
    return true;
  }
  return false;
}

void IpAddressEditor::Press(IpEditKey key) {
  const bool advanced = m_advanced;
  m_advanced = false;
  switch (key) {
    case IpEditKey::kDot:
      // The dot that follows an automatic move was meant for that move.
      if (advanced) return;
      if (!Text().empty() && m_field + 1 < kFieldCount) MoveTo(m_field + 1, 0, true);
      return;
    case IpEditKey::kBackspace:
      if (ClearSelection()) return;
      if (m_caret > 0)
        Text().erase(--m_caret, 1);
      else if (m_field > 0)
        MoveTo(m_field - 1, m_fields[static_cast<size_t>(m_field - 1)].size(), false);
      return;
    case IpEditKey::kDelete:
      if (ClearSelection()) return;
      if (m_caret < Text().size()) Text().erase(m_caret, 1);
      return;
    case IpEditKey::kLeft:
      if (m_all_selected || m_field_selected || m_caret > 0)
        MoveTo(m_field, m_all_selected || m_field_selected ? 0 : m_caret - 1, false);
      else if (m_field > 0)
        MoveTo(m_field - 1, m_fields[static_cast<size_t>(m_field - 1)].size(), false);
      return;
    case IpEditKey::kRight:
      if (m_caret < Text().size() || m_all_selected || m_field_selected)
        MoveTo(m_field, m_all_selected || m_field_selected ? Text().size() : m_caret + 1, false);
      else if (m_field + 1 < kFieldCount)
        MoveTo(m_field + 1, 0, false);
      return;
    case IpEditKey::kHome:
      MoveTo(0, 0, false);
      return;
    case IpEditKey::kEnd:
      MoveTo(kFieldCount - 1, m_fields.back().size(), false);
      return;
    case IpEditKey::kSelectAll:
      MoveTo(0, 0, false);
      m_all_selected = true;
      return;
  }
}

std::optional<unsigned> IpAddressEditor::Paste(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                           text.back() == '\r'))
    text.remove_suffix(1);
  // A whole address: four fields of one to three digits.
  std::array<std::string, 4> fields;
  size_t field = 0;
  bool whole = !text.empty();
  for (char c : text) {
    if (c == '.' && !fields[field].empty() && field + 1 < fields.size()) {
      ++field;
    } else if (c >= '0' && c <= '9' && fields[field].size() < 3) {
      fields[field].push_back(c);
    } else {
      whole = false;
      break;
    }
  }
  whole = whole && field + 1 == fields.size() && !fields.back().empty();
  std::optional<unsigned> too_large;
  if (whole) {
    for (std::string& f : fields) {
      const unsigned value = static_cast<unsigned>(std::stoul(f));
      if (value > 255 && !too_large) too_large = value;
      f = std::to_string(std::min(value, 255u));
    }
    m_fields = fields;
    MoveTo(kFieldCount - 1, m_fields.back().size(), false);
    return too_large;
  }
  for (char c : text) {
    const std::optional<unsigned> v = Type(c);
    if (v && !too_large) too_large = v;
  }
  return too_large;
}

std::string IpOctetTooLargeText(unsigned value) {
  return std::to_string(value) + " is not a valid entry: use 0 to 255";
}

}  // namespace zv
