#include "controls/dib_core.h"

#include <algorithm>
#include <limits>
#include <new>

namespace zv {
namespace {

constexpr uint16_t kDepths[] = {1, 4, 8, 16, 24, 32};

void PutLe(uint8_t* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

void WriteHeader(uint8_t* out, const DibHeader& h) {
  PutLe(out + 0, h.size, 4);
  PutLe(out + 4, static_cast<uint32_t>(h.width), 4);
  PutLe(out + 8, static_cast<uint32_t>(h.height), 4);
  PutLe(out + 12, h.planes, 2);
  PutLe(out + 14, h.bit_count, 2);
  PutLe(out + 16, h.compression, 4);
  PutLe(out + 20, h.size_image, 4);
  PutLe(out + 24, static_cast<uint32_t>(h.x_pels_per_meter), 4);
  PutLe(out + 28, static_cast<uint32_t>(h.y_pels_per_meter), 4);
  PutLe(out + 32, h.clr_used, 4);
  PutLe(out + 36, h.clr_important, 4);
}

uint32_t Argb(uint8_t red, uint8_t green, uint8_t blue) {
  return 0xFF000000u | (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
}

}  // namespace

int32_t DibRowStride(int32_t width, uint16_t bits_per_pixel) {
  const int64_t bits = int64_t{width} * bits_per_pixel;
  return static_cast<int32_t>((bits + 31) / 32 * 4);
}

uint16_t DibPaletteEntries(uint16_t bits_per_pixel) {
  switch (bits_per_pixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

uint8_t BlendChannel(int percent, uint8_t colour, uint8_t old) {
  percent = std::clamp(percent, 0, 100);
  return static_cast<uint8_t>((percent * colour + (100 - percent) * old) / 100);
}

uint8_t* CCeXDib::Create(int32_t width, int32_t height, uint16_t bits_per_pixel) {
  Free();
  if (width <= 0 || height <= 0) return nullptr;
  if (std::find(std::begin(kDepths), std::end(kDepths), bits_per_pixel) == std::end(kDepths))
    return nullptr;
  const int64_t stride = (int64_t{width} * bits_per_pixel + 31) / 32 * 4;
  const uint16_t entries = DibPaletteEntries(bits_per_pixel);
  const int64_t image_bytes = stride * height;
  // The header's image size is a 32-bit field; a bitmap it cannot describe
  // is refused rather than written with a wrapped size.
  if (stride > std::numeric_limits<int32_t>::max() ||
      image_bytes > int64_t{std::numeric_limits<uint32_t>::max()} - int64_t{kDibHeaderBytes} - 4 * 256)
    return nullptr;
  const std::size_t total = kDibHeaderBytes + 4u * entries + static_cast<std::size_t>(image_bytes);
  try {
    m_data.assign(total, 0);
  } catch (const std::bad_alloc&) {
    m_data.clear();
    return nullptr;
  }
  m_header = DibHeader{};
  m_header.width = width;
  m_header.height = height;
  m_header.bit_count = bits_per_pixel;
  m_header.size_image = static_cast<uint32_t>(image_bytes);
  m_row_stride = static_cast<int32_t>(stride);
  m_palette_entries = entries;
  WriteHeader(m_data.data(), m_header);
  return m_data.data();
}

uint8_t* CCeXDib::Clone(const CCeXDib& source) {
  if (&source == this) return IsValid() ? m_data.data() : nullptr;
  if (!source.IsValid()) {
    Free();
    return nullptr;
  }
  if (!Create(source.Width(), source.Height(), source.BitsPerPixel())) return nullptr;
  std::copy(source.m_data.begin(), source.m_data.end(), m_data.begin());
  return m_data.data();
}

void CCeXDib::BlendPalette(int percent, DibRgb colour) {
  if (!IsValid()) return;
  for (int i = 0; i < m_palette_entries; ++i) {
    const DibRgb old = PaletteColour(i);
    SetPaletteColour(i, {BlendChannel(percent, colour.red, old.red),
                         BlendChannel(percent, colour.green, old.green),
                         BlendChannel(percent, colour.blue, old.blue)});
  }
}

void CCeXDib::Free() {
  m_data.clear();
  m_data.shrink_to_fit();
  m_header = DibHeader{};
  m_row_stride = 0;
  m_palette_entries = 0;
}

DibRgb CCeXDib::PaletteColour(int index) const {
  if (index < 0 || index >= m_palette_entries) return {};
  const uint8_t* quad = PaletteBytes() + 4 * index;
  return {quad[2], quad[1], quad[0]};
}

void CCeXDib::SetPaletteColour(int index, DibRgb colour) {
  if (index < 0 || index >= m_palette_entries) return;
  uint8_t* quad = PaletteBytes() + 4 * index;
  quad[0] = colour.blue;
  quad[1] = colour.green;
  quad[2] = colour.red;
  quad[3] = 0;
}

uint8_t* CCeXDib::Row(int32_t stored_row) {
  if (!IsValid() || stored_row < 0 || stored_row >= Height()) return nullptr;
  return m_data.data() + PixelOffset() + static_cast<std::size_t>(stored_row) * m_row_stride;
}

const uint8_t* CCeXDib::Row(int32_t stored_row) const {
  return const_cast<CCeXDib*>(this)->Row(stored_row);
}

std::vector<uint32_t> CCeXDib::ToArgb32() const {
  std::vector<uint32_t> out;
  if (!IsValid()) return out;
  const int32_t w = Width();
  const int32_t h = Height();
  out.resize(static_cast<std::size_t>(w) * h);
  const int bits = BitsPerPixel();
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = Row(h - 1 - y);
    uint32_t* dst = out.data() + static_cast<std::size_t>(y) * w;
    for (int32_t x = 0; x < w; ++x) {
      switch (bits) {
        case 1:
        case 4:
        case 8: {
          const int bit = x * bits;
          const int index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
          const DibRgb c = PaletteColour(index);
          dst[x] = Argb(c.red, c.green, c.blue);
          break;
        }
        case 16: {
          // Five bits per channel, blue lowest.
          const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
          const auto five = [](unsigned c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
          dst[x] = Argb(five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31));
          break;
        }
        default: {
          const int step = bits / 8;
          const uint8_t* p = row + x * step;
          dst[x] = Argb(p[2], p[1], p[0]);
          break;
        }
      }
    }
  }
  return out;
}

}  // namespace zv
