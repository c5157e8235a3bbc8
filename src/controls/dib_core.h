// A device-independent bitmap held in one buffer: the 40-byte header, the
// palette (blue, green, red, reserved per entry), then the pixel rows stored
// bottom-up. The shaded buttons compute their faces in it. Only drawing needs
// the toolkit (controls/dib_draw.h); everything here is plain bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zv {

struct DibRgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const DibRgb&, const DibRgb&) = default;
};

// The bitmap-info header, field for field.
struct DibHeader {
  uint32_t size = 40;
  int32_t width = 0;
  int32_t height = 0;  // positive: rows stored bottom-up
  uint16_t planes = 1;
  uint16_t bit_count = 0;
  uint32_t compression = 0;
  uint32_t size_image = 0;
  int32_t x_pels_per_meter = 0;
  int32_t y_pels_per_meter = 0;
  uint32_t clr_used = 0;
  uint32_t clr_important = 0;
};
inline constexpr std::size_t kDibHeaderBytes = 40;

// Bytes per row: rows are padded to whole 32-bit words.
int32_t DibRowStride(int32_t width, uint16_t bits_per_pixel);
// 2 for 1 bit per pixel, 16 for 4, 256 for 8, 0 for the direct-colour depths.
uint16_t DibPaletteEntries(uint16_t bits_per_pixel);
// (percent x colour + (100 - percent) x old) / 100, integer division; the
// percentage is held to 0..100 so the result always fits a byte.
uint8_t BlendChannel(int percent, uint8_t colour, uint8_t old);

class CCeXDib {
 public:
  CCeXDib() = default;
  CCeXDib(const CCeXDib&) = delete;
  CCeXDib& operator=(const CCeXDib&) = delete;
  CCeXDib(CCeXDib&&) noexcept = default;
  CCeXDib& operator=(CCeXDib&&) noexcept = default;
  ~CCeXDib() = default;

  // Frees what is held and allocates a zeroed bitmap. Returns the buffer, or
  // nullptr (holding nothing) for a size that is not positive, a depth other
  // than 1, 4, 8, 16, 24 or 32, or a buffer too large to allocate.
  uint8_t* Create(int32_t width, int32_t height, uint16_t bits_per_pixel);
  // Same size and depth as `source`, with its header, palette and pixels.
  uint8_t* Clone(const CCeXDib& source);
  // Moves every palette entry `percent` of the way towards `colour`.
  void BlendPalette(int percent, DibRgb colour);
  void Free();

  bool IsValid() const { return !m_data.empty(); }
  const DibHeader& Header() const { return m_header; }
  int32_t Width() const { return m_header.width; }
  int32_t Height() const { return m_header.height; }
  uint16_t BitsPerPixel() const { return m_header.bit_count; }
  int32_t RowStride() const { return m_row_stride; }
  uint16_t PaletteEntries() const { return m_palette_entries; }
  std::span<const uint8_t> Data() const { return m_data; }

  DibRgb PaletteColour(int index) const;
  void SetPaletteColour(int index, DibRgb colour);
  // Stored row r (0 is the bottom row of the picture).
  uint8_t* Row(int32_t stored_row);
  const uint8_t* Row(int32_t stored_row) const;

  // The picture as 0xFFRRGGBB values, top row first, for drawing.
  std::vector<uint32_t> ToArgb32() const;

 private:
  uint8_t* PaletteBytes() { return m_data.data() + kDibHeaderBytes; }
  const uint8_t* PaletteBytes() const { return m_data.data() + kDibHeaderBytes; }
  std::size_t PixelOffset() const { return kDibHeaderBytes + 4u * m_palette_entries; }

  std::vector<uint8_t> m_data;
  DibHeader m_header;
  int32_t m_row_stride = 0;
  uint16_t m_palette_entries = 0;
};

}  // namespace zv
