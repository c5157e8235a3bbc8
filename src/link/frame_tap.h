// The frame tap: one recorder for the whole program that sees every UDP
// datagram and every serial write and read the program makes, for the frame
// monitor and the frame log.
//
// It records only while someone listens (the monitor window is open, or a
// frame log is written). While nobody does, a tap is one relaxed atomic load.
// It keeps the raw bytes of the last kCapacity frames in a ring; names, hex
// and the like are made only when a frame is shown or written out.
//
// The ring takes its whole memory when the first listener comes (a table of
// kCapacity fixed-size records and one byte arena of kArenaBytes for the
// frames' bytes) and takes no more after that, however long the program
// records: a frame is copied into the arena, not kept as a block of its own.
// When the arena has no room for a new frame's bytes, the oldest frames go
// until it has, so the ring holds fewer than kCapacity frames when they are
// long.
//
// Serial bytes arrive in whatever pieces the line delivers; the recorder
// puts the received ones together again per port (SerialFrameAssembler), so
// a listener sees frames, and bytes that make no frame as such.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace zv {

enum class FrameDirection : uint8_t { kSent, kReceived };
enum class FrameLinkKind : uint8_t { kUdp, kSerial, kTcp };

struct TappedFrame {
  uint64_t seq = 0;       // 1, 2, ... in the order the recorder took them
  int64_t time_us = 0;    // wall clock, microseconds since 1970 (UTC)
  FrameDirection direction = FrameDirection::kSent;
  FrameLinkKind link = FrameLinkKind::kUdp;
  sockaddr_in peer{};     // UDP: the device's (or the search) address and port
  uint16_t local_port = 0;  // UDP: the port of the program's socket (host order)
  std::string serial_port;  // serial: the port's path
  // Received serial bytes that made no frame (noise, a frame cut short).
  bool unframed = false;
  // A TSL UMD packet (tally), not a device's frame.
  bool tsl = false;
  std::vector<uint8_t> bytes;
};

// Puts received serial bytes back together into frames: A5 6C, a 16-bit
// little-endian length, and that many bytes in all; or a line of text ending
// in a full stop (the matrix router's language). Bytes that start neither are
// given back as unframed up to the next possible start. A frame that has not
// come whole within kGapUs of its last byte, or a text longer than
// kMaxText, is given back as unframed when the next bytes come (or on Flush).
// Nothing is held beyond kMaxPending bytes.
class SerialFrameAssembler {
 public:
  static constexpr size_t kMaxFrame = 4096;
  static constexpr size_t kMaxText = 64;
  static constexpr size_t kMaxPending = kMaxFrame;
  static constexpr int64_t kGapUs = 500'000;

  struct Piece {
    std::vector<uint8_t> bytes;
    bool unframed = false;
  };
  // Takes the bytes read at `time_us` and returns the frames (and unframed
  // runs) they completed, in order.
  std::vector<Piece> Feed(std::span<const uint8_t> bytes, int64_t time_us);
  // Gives back whatever is held, as unframed.
  std::vector<Piece> Flush();
  size_t Pending() const { return m_pending.size(); }

 private:
  void Extract(std::vector<Piece>* out);
  std::vector<uint8_t> m_pending;
  int64_t m_last_us = 0;
};

// How many listen: the one number a tap reads while nobody does.
inline std::atomic<int> g_frame_tap_listeners{0};

class FrameRecorder {
 public:
  static constexpr size_t kCapacity = 10000;
  // 10,000 frames of up to 104 bytes each fit; the device's commands and
  // replies are mostly shorter. A frame longer than the whole arena keeps
  // its first kArenaBytes.
  static constexpr size_t kArenaBytes = size_t{1} << 20;
  // Runs on the tapping thread (the link worker), under the recorder's lock:
  // it must not wait on the user interface.
  using Sink = std::function<void(const TappedFrame& frame)>;

  static FrameRecorder& Instance();

  // Starts listening; the frames recorded from now on reach `sink` (when
  // given) and the ring. Returns the token for Unlisten.
  int Listen(Sink sink = nullptr);
  void Unlisten(int token);
  static bool Listening() { return g_frame_tap_listeners.load(std::memory_order_relaxed) > 0; }

  // The frames held whose seq is above `after`, oldest first; returns the
  // highest seq recorded so far.
  uint64_t CopySince(uint64_t after, std::vector<TappedFrame>* out) const;
  // Forgets the frames held (listeners stay); the ring keeps its memory.
  void Clear();
  size_t Size() const;
  // The bytes the ring has taken from the heap: 0 before the first listener,
  // then the same for the rest of the program.
  size_t ReservedBytes() const;

  void RecordDatagram(FrameDirection direction, const sockaddr_in& peer, int socket_fd,
                      std::span<const uint8_t> bytes);
  void RecordSerial(FrameDirection direction, const std::u16string& port,
                    std::span<const uint8_t> bytes);
  // A TSL UMD packet in or out, by UDP or TCP; `local_port` in host order.
  void RecordTsl(FrameDirection direction, FrameLinkKind link, const sockaddr_in& peer, uint16_t local_port,
                 std::span<const uint8_t> bytes);
  // A serial port closed: what its assembler held comes out as unframed.
  void FlushSerial(const std::u16string& port);

 private:
  // One frame of the ring, without its bytes: they are in the arena from
  // `start` (a position that only grows; the arena's offset is its
  // remainder) on. Its seq is not kept: the frames held are consecutive,
  // the newest is m_seq.
  struct Record {
    uint64_t start;
    int64_t time_us;
    uint32_t length;
    uint32_t peer_address;  // network order, as in sockaddr_in
    uint16_t peer_port;     // network order
    uint16_t local_port;
    uint16_t serial_port;   // index into m_serial_ports
    FrameDirection direction;
    FrameLinkKind link;
    bool unframed;
    bool tsl;  // a TSL UMD packet, not a device's frame
  };

  FrameRecorder() = default;
  void Store(TappedFrame frame);  // with m_mutex held
  void DropOldest();              // with m_mutex held
  TappedFrame Unpack(const Record& record, uint64_t seq) const;
  uint16_t SerialPortIndex(const std::string& path);

  mutable std::mutex m_mutex;
  // Both are sized when the first listener comes and never again.
  std::vector<Record> m_records;  // kCapacity; m_count of them from m_first on
  std::vector<uint8_t> m_arena;   // kArenaBytes
  size_t m_first = 0;
  size_t m_count = 0;
  uint64_t m_write = 0;  // where the next frame's bytes may start
  // The serial ports' paths that frames named, each once.
  std::vector<std::string> m_serial_ports;
  uint64_t m_seq = 0;
  int m_next_token = 1;
  std::map<int, Sink> m_sinks;
  std::map<std::u16string, SerialFrameAssembler> m_assemblers;
};

// The taps the link calls. Each costs one relaxed load while nobody listens.
inline void TapDatagram(FrameDirection direction, const sockaddr_in& peer, int socket_fd,
                        std::span<const uint8_t> bytes) {
  if (g_frame_tap_listeners.load(std::memory_order_relaxed) <= 0) return;
  FrameRecorder::Instance().RecordDatagram(direction, peer, socket_fd, bytes);
}
inline void TapSerial(FrameDirection direction, const std::u16string& port,
                      std::span<const uint8_t> bytes) {
  if (g_frame_tap_listeners.load(std::memory_order_relaxed) <= 0) return;
  FrameRecorder::Instance().RecordSerial(direction, port, bytes);
}
inline void TapTsl(FrameDirection direction, FrameLinkKind link, const sockaddr_in& peer, uint16_t local_port,
                   std::span<const uint8_t> bytes) {
  if (g_frame_tap_listeners.load(std::memory_order_relaxed) <= 0) return;
  FrameRecorder::Instance().RecordTsl(direction, link, peer, local_port, bytes);
}

}  // namespace zv
