#include "link/frame_tap.h"

#include <sys/socket.h>

#include <algorithm>
#include <chrono>

#include "link/command_frame.h"

namespace zv {
namespace {

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool StartsText(uint8_t b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}
bool IsTextByte(uint8_t b) { return b >= 0x20 && b <= 0x7E; }

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (const char16_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

// ---- serial frames ----------------------------------------------------------

std::vector<SerialFrameAssembler::Piece> SerialFrameAssembler::Feed(std::span<const uint8_t> bytes,
                                                                    int64_t time_us) {
  std::vector<Piece> out;
  // What waited too long for the rest will not be completed by these bytes.
  if (!m_pending.empty() && time_us - m_last_us > kGapUs) out = Flush();
  m_last_us = time_us;
  m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
  Extract(&out);
  // Extract leaves at most one unfinished frame or text; the cap holds even
  // so.
  if (m_pending.size() > kMaxPending) {
    std::vector<Piece> rest = Flush();
    out.insert(out.end(), rest.begin(), rest.end());
  }
  return out;
}

std::vector<SerialFrameAssembler::Piece> SerialFrameAssembler::Flush() {
  std::vector<Piece> out;
  if (!m_pending.empty()) out.push_back({std::move(m_pending), true});
  m_pending.clear();
  return out;
}

void SerialFrameAssembler::Extract(std::vector<Piece>* out) {
  size_t at = 0;
  const size_t size = m_pending.size();
  auto emit = [&](size_t length, bool unframed) {
    out->push_back({std::vector<uint8_t>(m_pending.begin() + static_cast<ptrdiff_t>(at),
                                         m_pending.begin() + static_cast<ptrdiff_t>(at + length)),
                    unframed});
    at += length;
  };
  // Bytes from `at` up to the next A5 after it (or all) as unframed.
  auto emit_noise = [&] {
    size_t next = at + 1;
    while (next < size && m_pending[next] != CommandFrame::kSync1) ++next;
    emit(next - at, true);
  };
  while (at < size) {
    const size_t left = size - at;
    const uint8_t* p = m_pending.data() + at;
    if (p[0] == CommandFrame::kSync1) {
      if (left < 2) break;
      if (p[1] != CommandFrame::kSync2) {
        emit_noise();
        continue;
      }
      if (left < 4) break;
      const size_t length = static_cast<size_t>(p[2]) | (static_cast<size_t>(p[3]) << 8);
      if (length < CommandFrame::kOverhead || length > kMaxFrame) {
        emit_noise();
        continue;
      }
      if (left < length) break;
      emit(length, false);
    } else if (StartsText(p[0])) {
      size_t end = 0;
      bool text = true;
      const size_t limit = std::min(left, kMaxText);
      for (size_t i = 0; i < limit; ++i) {
        if (p[i] == '.') {
          end = i + 1;
          break;
        }
        if (!IsTextByte(p[i])) {
          text = false;
          break;
        }
      }
      if (end > 0) {
        emit(end, false);
      } else if (!text || left >= kMaxText) {
        emit_noise();
      } else {
        break;  // the rest of the text is still to come
      }
    } else {
      emit_noise();
    }
  }
  m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<ptrdiff_t>(at));
}

// ---- the recorder -------------------------------------------------------------

FrameRecorder& FrameRecorder::Instance() {
  static FrameRecorder recorder;
  return recorder;
}

int FrameRecorder::Listen(Sink sink) {
  std::lock_guard<std::mutex> lock(m_mutex);
  // The ring's memory, all of it, once: written through here so that the
  // system gives its pages now and not while the ring fills.
  if (m_arena.empty()) {
    m_records.assign(kCapacity, Record{});
    m_arena.assign(kArenaBytes, 0);
  }
  const int token = m_next_token++;
  m_sinks.emplace(token, std::move(sink));
  g_frame_tap_listeners.store(static_cast<int>(m_sinks.size()), std::memory_order_relaxed);
  return token;
}

void FrameRecorder::Unlisten(int token) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_sinks.erase(token);
  g_frame_tap_listeners.store(static_cast<int>(m_sinks.size()), std::memory_order_relaxed);
  // Pieces of serial frames do not wait for a listener that may never come.
  if (m_sinks.empty()) m_assemblers.clear();
}

TappedFrame FrameRecorder::Unpack(const Record& record, uint64_t seq) const {
  TappedFrame frame;
  frame.seq = seq;
  frame.time_us = record.time_us;
  frame.direction = record.direction;
  frame.link = record.link;
  frame.unframed = record.unframed;
  frame.tsl = record.tsl;
  frame.local_port = record.local_port;
  if (record.link == FrameLinkKind::kUdp) {
    frame.peer.sin_family = AF_INET;
    frame.peer.sin_addr.s_addr = record.peer_address;
    frame.peer.sin_port = record.peer_port;
  } else if (record.serial_port < m_serial_ports.size()) {
    frame.serial_port = m_serial_ports[record.serial_port];
  }
  const uint8_t* bytes = m_arena.data() + record.start % kArenaBytes;
  frame.bytes.assign(bytes, bytes + record.length);
  return frame;
}

uint64_t FrameRecorder::CopySince(uint64_t after, std::vector<TappedFrame>* out) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  // The frames held are m_seq - m_count + 1 up to m_seq.
  const uint64_t first_seq = m_seq - m_count + 1;
  const size_t skip = after >= first_seq ? static_cast<size_t>(std::min<uint64_t>(after - first_seq + 1, m_count)) : 0;
  out->reserve(out->size() + (m_count - skip));
  for (size_t i = skip; i < m_count; ++i)
    out->push_back(Unpack(m_records[(m_first + i) % kCapacity], first_seq + i));
  return m_seq;
}

void FrameRecorder::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_first = 0;
  m_count = 0;
}

size_t FrameRecorder::Size() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_count;
}

size_t FrameRecorder::ReservedBytes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_records.capacity() * sizeof(Record) + m_arena.capacity();
}

void FrameRecorder::DropOldest() {
  m_first = (m_first + 1) % kCapacity;
  --m_count;
}

uint16_t FrameRecorder::SerialPortIndex(const std::string& path) {
  for (size_t i = 0; i < m_serial_ports.size(); ++i)
    if (m_serial_ports[i] == path) return static_cast<uint16_t>(i);
  // A machine has a handful of ports; past 1,000 names the last is reused
  // rather than the table growing on.
  if (m_serial_ports.size() >= 1000) {
    m_serial_ports.back() = path;
    return static_cast<uint16_t>(m_serial_ports.size() - 1);
  }
  m_serial_ports.push_back(path);
  return static_cast<uint16_t>(m_serial_ports.size() - 1);
}

void FrameRecorder::Store(TappedFrame frame) {
  frame.seq = ++m_seq;
  for (const auto& [token, sink] : m_sinks)
    if (sink) sink(frame);
  if (m_arena.empty()) return;  // never listened: nothing comes here then
  // The bytes go in one piece: a frame that would run past the arena's end
  // starts again at its beginning.
  const size_t length = std::min(frame.bytes.size(), kArenaBytes);
  uint64_t start = m_write;
  const size_t offset = static_cast<size_t>(start % kArenaBytes);
  if (offset + length > kArenaBytes) start += kArenaBytes - offset;
  // Room: a record, and the arena's bytes from `start` on, which the oldest
  // frames held (those less than one arena behind the new frame's end) use.
  if (m_count == kCapacity) DropOldest();
  while (m_count > 0 && m_records[m_first].start + kArenaBytes < start + length) DropOldest();
  if (m_count == 0) m_first = 0;
  std::copy_n(frame.bytes.data(), length, m_arena.data() + start % kArenaBytes);
  Record& record = m_records[(m_first + m_count) % kCapacity];
  record.start = start;
  record.time_us = frame.time_us;
  record.length = static_cast<uint32_t>(length);
  record.peer_address = frame.peer.sin_addr.s_addr;
  record.peer_port = frame.peer.sin_port;
  record.local_port = frame.local_port;
  record.serial_port =
      frame.link == FrameLinkKind::kSerial ? SerialPortIndex(frame.serial_port) : uint16_t{0};
  record.direction = frame.direction;
  record.link = frame.link;
  record.unframed = frame.unframed;
  record.tsl = frame.tsl;
  ++m_count;
  m_write = start + length;
}

void FrameRecorder::RecordDatagram(FrameDirection direction, const sockaddr_in& peer,
                                   int socket_fd, std::span<const uint8_t> bytes) {
  TappedFrame frame;
  frame.time_us = NowUs();
  frame.direction = direction;
  frame.link = FrameLinkKind::kUdp;
  frame.peer = peer;
  if (socket_fd >= 0) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (getsockname(socket_fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
      frame.local_port = ntohs(local.sin_port);
  }
  frame.bytes.assign(bytes.begin(), bytes.end());
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_sinks.empty()) return;  // the last listener left meanwhile
  Store(std::move(frame));
}

void FrameRecorder::RecordTsl(FrameDirection direction, FrameLinkKind link, const sockaddr_in& peer,
                              uint16_t local_port, std::span<const uint8_t> bytes) {
  TappedFrame frame;
  frame.time_us = NowUs();
  frame.direction = direction;
  frame.link = link;
  frame.peer = peer;
  frame.local_port = local_port;
  frame.tsl = true;
  frame.bytes.assign(bytes.begin(), bytes.end());
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_sinks.empty()) return;  // the last listener left meanwhile
  Store(std::move(frame));
}

void FrameRecorder::RecordSerial(FrameDirection direction, const std::u16string& port,
                                 std::span<const uint8_t> bytes) {
  const int64_t now = NowUs();
  const std::string path = Utf8(port);
  auto make = [&](std::vector<uint8_t> piece, bool unframed) {
    TappedFrame frame;
    frame.time_us = now;
    frame.direction = direction;
    frame.link = FrameLinkKind::kSerial;
    frame.serial_port = path;
    frame.unframed = unframed;
    frame.bytes = std::move(piece);
    return frame;
  };
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_sinks.empty()) return;
  // The program writes whole frames: each write is one.
  if (direction == FrameDirection::kSent) {
    Store(make(std::vector<uint8_t>(bytes.begin(), bytes.end()), false));
    return;
  }
  for (SerialFrameAssembler::Piece& piece : m_assemblers[port].Feed(bytes, now))
    Store(make(std::move(piece.bytes), piece.unframed));
}

void FrameRecorder::FlushSerial(const std::u16string& port) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto it = m_assemblers.find(port);
  if (it == m_assemblers.end()) return;
  const int64_t now = NowUs();
  for (SerialFrameAssembler::Piece& piece : it->second.Flush()) {
    TappedFrame frame;
    frame.time_us = now;
    frame.direction = FrameDirection::kReceived;
    frame.link = FrameLinkKind::kSerial;
    frame.serial_port = Utf8(port);
    frame.unframed = true;
    frame.bytes = std::move(piece.bytes);
    if (!m_sinks.empty()) Store(std::move(frame));
  }
  m_assemblers.erase(it);
}

}  // namespace zv
