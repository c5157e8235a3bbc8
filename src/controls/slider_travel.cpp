#include "controls/slider_travel.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace zv {

// The travel formulas are worked in 64-bit integers rather than floating
// point: the quotient is then truncated exactly, where a double can land a
// hair under a whole number (1 / 49 * 49) and lose a pixel or a position.
// 64 bits hold every product of an int range and an int extent.

void SliderTravel::SetLimits(int minimum, int maximum) {
  if (minimum > maximum) std::swap(minimum, maximum);
  m_minimum = minimum;
  m_maximum = maximum;
  m_position = Clamped(m_position);
}

void SliderTravel::SetPosition(int position) { m_position = Clamped(position); }

void SliderTravel::SetSize(int width, int height) {
  m_width = width;
  m_height = height;
}

void SliderTravel::SetThumbSize(int width, int height) {
  m_thumb_width = width;
  m_thumb_height = height;
}

void SliderTravel::SetMargins(int left, int top, int right, int bottom) {
  m_margin_left = left;
  m_margin_top = top;
  m_margin_right = right;
  m_margin_bottom = bottom;
}

long long SliderTravel::Room() const {
  return static_cast<long long>(Extent()) - EndMargin() - ThumbLength() - StartMargin();
}

int SliderTravel::Clamped(long long position) const {
  return static_cast<int>(std::clamp<long long>(position, m_minimum, m_maximum));
}

int SliderTravel::Centre(int position) const {
  const long long room = Room();
  const long long range = Range();
  long long offset = 0;
  // An empty range or a control too small for its thumb leaves the thumb at
  // the start instead of dividing by zero or running backwards.
  if (room > 0 && range > 0)
    offset = (static_cast<long long>(Clamped(position)) - m_minimum) * room / range;
  return static_cast<int>(StartMargin() + offset + ThumbLength() / 2);
}

int SliderTravel::PositionAt(int centre) const {
  const long long room = Room();
  if (room <= 0) return m_minimum;
  // Beyond either end the answer is the end; holding the centre to one
  // pixel past the room first keeps the product inside 64 bits.
  const long long along = std::clamp<long long>(
      static_cast<long long>(centre) - ThumbLength() / 2 - StartMargin(), -1, room + 1);
  return Clamped(along * Range() / room + m_minimum);
}

SliderPoint SliderTravel::ThumbTopLeft() const {
  const int centre = Centre(m_position);
  if (m_vertical) return {m_margin_left, centre - m_thumb_height / 2};
  return {centre - m_thumb_width / 2, m_margin_top};
}

bool SliderTravel::Press(int x, int y) {
  m_dragging = true;
  const long long d = static_cast<long long>(Along(x, y)) - Centre(m_position);
  // Off the thumb the centre jumps to the pointer; on it the thumb keeps
  // its place under the pointer for the whole drag.
  m_grab_offset = std::llabs(d) > ThumbLength() / 2 ? 0 : static_cast<int>(d);
  return Drag(x, y);
}

bool SliderTravel::Drag(int x, int y) {
  if (!m_dragging) return false;
  const long long start = StartMargin() + ThumbLength() / 2;
  const long long end =
      std::max(start, static_cast<long long>(Extent()) - EndMargin() - ThumbLength() / 2);
  const int c = static_cast<int>(
      std::clamp(static_cast<long long>(Along(x, y)) - m_grab_offset, start, end));
  // The pointer standing on the thumb centre must not move it: pos() of a
  // centre truncates to the position below.
  if (c == Centre(m_position)) return false;
  const int position = PositionAt(c);
  // Only a change is news. A pointer that keeps pushing past an end, or
  // wanders within one position, would otherwise repeat the same position
  // to the parent, which takes each report as a fresh step of the T-bar.
  if (position == m_position) return false;
  m_position = position;
  return true;
}

bool SliderTravel::Release() {
  const bool was_dragging = m_dragging;
  m_dragging = false;
  return was_dragging;
}

bool SliderTravel::Key(SliderKey key) {
  long long position = m_position;
  switch (key) {
    case SliderKey::kPageUp: position -= m_page; break;
    case SliderKey::kPageDown: position += m_page; break;
    case SliderKey::kEnd: position = m_maximum; break;
    case SliderKey::kHome: position = m_minimum; break;
    case SliderKey::kLeft:
    case SliderKey::kUp: position -= 1; break;
    case SliderKey::kRight:
    case SliderKey::kDown: position += 1; break;
    default: return false;
  }
  m_position = Clamped(position);
  return true;
}

}  // namespace zv
