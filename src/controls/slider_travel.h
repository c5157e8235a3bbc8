#pragma once

namespace zv {

// The navigation keys the slider answers.
enum class SliderKey { kPageUp, kPageDown, kHome, kEnd, kLeft, kUp, kRight, kDown };

struct SliderPoint {
  int x = 0;
  int y = 0;
  bool operator==(const SliderPoint&) const = default;
};

// Geometry, range and drag state of the bitmap slider, without the pictures.
// Coordinates are the control's client pixels. "Along" is the axis the thumb
// travels on: y when vertical (the position grows downward), else x.
class SliderTravel {
 public:
  static constexpr int kDefaultMaximum = 255;
  static constexpr int kDefaultPage = 20;

  // A reversed range is put in order; the position is pulled into it.
  void SetLimits(int minimum, int maximum);
  void SetPosition(int position);
  int GetPosition() const { return m_position; }
  int Minimum() const { return m_minimum; }
  int Maximum() const { return m_maximum; }
  int Page() const { return m_page; }

  void SetSize(int width, int height);
  void SetThumbSize(int width, int height);
  void SetMargins(int left, int top, int right, int bottom);
  void SetVertical(bool on) { m_vertical = on; }
  bool IsVertical() const { return m_vertical; }
  bool IsDragging() const { return m_dragging; }
  int GrabOffset() const { return m_grab_offset; }

  // centre(p): where the thumb centre sits for a position.
  int Centre(int position) const;
  // pos(c): the position for a thumb centre, held to the range.
  int PositionAt(int centre) const;
  // Top-left corner of the thumb image at the current position.
  SliderPoint ThumbTopLeft() const;

  // Input. Press and Drag return true when the position changed (the
  // control then reports "moving"); Release returns true when it ended a
  // drag and Key when it knew the key (both then report "released").
  bool Press(int x, int y);
  bool Drag(int x, int y);
  bool Release();
  bool Key(SliderKey key);
  // Forget a drag without reporting it (the control was disabled mid-drag).
  void CancelDrag() { m_dragging = false; }

 private:
  int Along(int x, int y) const { return m_vertical ? y : x; }
  int Extent() const { return m_vertical ? m_height : m_width; }
  int ThumbLength() const { return m_vertical ? m_thumb_height : m_thumb_width; }
  int StartMargin() const { return m_vertical ? m_margin_top : m_margin_left; }
  int EndMargin() const { return m_vertical ? m_margin_bottom : m_margin_right; }
  // Room the thumb centre has to move in; zero or less when it has none.
  long long Room() const;
  long long Range() const { return static_cast<long long>(m_maximum) - m_minimum; }
  int Clamped(long long position) const;

  int m_maximum = kDefaultMaximum;
  int m_minimum = 0;
  int m_position = 0;
  int m_page = kDefaultPage;
  int m_width = 0;
  int m_height = 0;
  int m_thumb_width = 0;
  int m_thumb_height = 0;
  int m_margin_left = 0;
  int m_margin_right = 0;
  int m_margin_top = 0;
  int m_margin_bottom = 0;
  int m_grab_offset = 0;
  bool m_vertical = false;
  bool m_dragging = false;
};

}  // namespace zv
