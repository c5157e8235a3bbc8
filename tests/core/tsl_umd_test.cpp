// TSL UMD 3.1 and 5.0 as bytes: what each packet says, what is refused and
// why, and the TCP form's DLE stuffing in whatever pieces the stream brings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tally/tsl_umd.h"

namespace zv {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(std::initializer_list<int> v) {
  Bytes out;
  for (int x : v) out.push_back(static_cast<uint8_t>(x));
  return out;
}
Bytes Cat(Bytes a, const std::string& text) {
  a.insert(a.end(), text.begin(), text.end());
  return a;
}

// A 5.0 packet of one display: screen, index, control word and text bytes.
Bytes One50(uint16_t screen, uint16_t index, uint16_t control, const Bytes& text, uint8_t flags = 0) {
  Bytes p = B({0, 0, 0, flags, screen & 0xFF, screen >> 8, index & 0xFF, index >> 8, control & 0xFF, control >> 8,
               static_cast<int>(text.size() & 0xFF), static_cast<int>(text.size() >> 8)});
  p.insert(p.end(), text.begin(), text.end());
  p[0] = static_cast<uint8_t>((p.size() - 2) & 0xFF);
  p[1] = static_cast<uint8_t>((p.size() - 2) >> 8);
  return p;
}
Bytes Ascii(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(TslUmdTest, Version31FieldsAndEncoding) {
  // Address 5, tallies 1 and 3, brightness 2.
  const Bytes packet = Cat(B({0x85, 0x25}), "CAM 5           ");
  TslProblem problem;
  const std::optional<Tsl31Message> m = DecodeTsl31(packet, &problem);
  ASSERT_TRUE(m) << problem.text;
  EXPECT_EQ(m->address, 5);
  EXPECT_EQ(m->tally, (std::array<bool, 4>{true, false, true, false}));
  EXPECT_EQ(m->brightness, 2);
  EXPECT_EQ(m->text, "CAM 5           ");
  EXPECT_EQ(EncodeTsl31(*m), packet);
  // A long or non-ASCII text is cut and replaced, never overflows.
  Tsl31Message wide{126, {false, true, false, false}, 3, "Kamera \xC3\xA9 one two three four"};
  const Bytes wide_bytes = EncodeTsl31(wide);
  EXPECT_EQ(wide_bytes, Cat(B({0xFE, 0x32}), "Kamera ? one two"));
}

TEST(TslUmdTest, Version50Packets) {
  struct Row {
    const char* what;
    Bytes bytes;
    uint16_t screen;
    std::vector<Tsl50Display> displays;
  };
  Bytes two = One50(3, 1, 0x00C1, Ascii("A"));
  {
    const Bytes second = B({0xFE, 0x00, 0x02, 0x00, 2, 0, 'B', 'C'});  // index 254, right green
    two.insert(two.end(), second.begin(), second.end());
    two[0] = static_cast<uint8_t>(two.size() - 2);
  }
  const Row rows[] = {
      {"ASCII, left red, brightness 3", One50(0, 7, 0x00D0, Ascii("CAM 7")), 0,
       {{7, TslLamp::kOff, TslLamp::kOff, TslLamp::kRed, 3, "CAM 7"}}},
      {"every lamp its own colour", One50(1, 2, 0x0039, Ascii("x")), 1,
       {{2, TslLamp::kRed, TslLamp::kGreen, TslLamp::kAmber, 0, "x"}}},
      {"UTF-16LE text", One50(0, 1, 0x0002, B({'C', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE}), 1), 0,
       {{1, TslLamp::kGreen, TslLamp::kOff, TslLamp::kOff, 0, "C\xC3\xA9\xF0\x9F\x98\x80"}}},
      {"UTF-8 in the byte form, as string-built senders put it", One50(0, 1, 0, Ascii("Caf\xC3\xA9")), 0,
       {{1, TslLamp::kOff, TslLamp::kOff, TslLamp::kOff, 0, "Caf\xC3\xA9"}}},
      {"Latin-1 in the byte form", One50(0, 1, 0, B({'C', 'a', 'f', 0xE9})), 0,
       {{1, TslLamp::kOff, TslLamp::kOff, TslLamp::kOff, 0, "Caf\xC3\xA9"}}},
      {"no text", One50(0xFFFF, 0xFFFF, 0x0010, {}), 0xFFFF,
       {{0xFFFF, TslLamp::kOff, TslLamp::kOff, TslLamp::kRed, 0, ""}}},
      {"two display messages", two, 3,
       {{1, TslLamp::kRed, TslLamp::kOff, TslLamp::kOff, 3, "A"},
        {254, TslLamp::kGreen, TslLamp::kOff, TslLamp::kOff, 0, "BC"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TslProblem problem;
    const std::optional<Tsl50Packet> p = DecodeTsl50(row.bytes, &problem);
    ASSERT_TRUE(p) << problem.text;
    EXPECT_EQ(p->screen, row.screen);
    EXPECT_EQ(p->displays, row.displays);
    // The wrapped form of the same bytes is the same packet, by datagram
    // shape as by stream.
    const std::optional<TslDatagram> wrapped = DecodeTslDatagram(StuffTsl50(row.bytes), &problem);
    ASSERT_TRUE(wrapped) << problem.text;
    EXPECT_EQ(wrapped->version, TslVersion::k50);
    EXPECT_EQ(wrapped->v50, *p);
    // What we encode, we read back the same.
    const std::optional<std::vector<uint8_t>> again = EncodeTsl50(*p);
    ASSERT_TRUE(again);
    EXPECT_EQ(DecodeTsl50(*again, nullptr), p);
  }
}

TEST(TslUmdTest, MalformedPacketsAreRefusedWithTheirFault) {
  Bytes pbc_long = One50(0, 1, 0, Ascii("CAM"));
  pbc_long[0] += 1;
  Bytes text_past_end = One50(0, 1, 0, Ascii("CAM"));
  text_past_end[10] = 40;
  Bytes trailing = One50(0, 1, 0, Ascii("CAM"));
  trailing.insert(trailing.end(), {1, 0, 0});
  trailing[0] += 3;
  Bytes no_length = B({8, 0, 0, 0, 0, 0, 1, 0, 0, 0});
  Bytes huge(2100, 0);
  huge[0] = (2098 & 0xFF);
  huge[1] = 2098 >> 8;
  struct Row {
    const char* what;
    Bytes bytes;
    TslFault fault;
  } const rows[] = {
      {"empty", {}, TslFault::kShort},
      {"one byte", B({0x85}), TslFault::kShort},
      {"5.0 header cut", B({3, 0, 0, 0, 0}), TslFault::kShort},
      {"PBC one more than came", pbc_long, TslFault::kLength},
      {"text length past the end", text_past_end, TslFault::kLength},
      {"bytes after the last message", trailing, TslFault::kLength},
      {"a message without its length", no_length, TslFault::kLength},
      {"odd UTF-16 length", One50(0, 1, 0, B({'A', 0, 'B'}), 1), TslFault::kText},
      {"screen control", One50(0, 1, 0, Ascii("A"), 2), TslFault::kField},
      {"header only", B({4, 0, 0, 0, 0, 0}), TslFault::kShort},
      {"more than 2048 bytes", huge, TslFault::kTooLong},
      {"3.1 address 127", Cat(B({0xFF, 0x01}), "ABCDEFGHIJKLMNOP"), TslFault::kField},
      {"3.1 control byte with its top bit", Cat(B({0x81, 0x81}), "ABCDEFGHIJKLMNOP"), TslFault::kField},
      {"wrapped with bad stuffing", B({0xFE, 0x02, 0x0E, 0x00, 0x00, 0x00, 0xFE, 0x01}), TslFault::kStuffing},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TslProblem problem;
    EXPECT_FALSE(DecodeTslDatagram(row.bytes, &problem));
    EXPECT_EQ(TslFaultName(problem.fault), std::string(TslFaultName(row.fault))) << problem.text;
    EXPECT_FALSE(problem.text.empty());
  }
}

TEST(TslUmdTest, DatagramShapeTellsTheVersions) {
  struct Row {
    const char* what;
    Bytes bytes;
    TslVersion version;
  } const rows[] = {
      {"18 bytes, top bit: 3.1", Cat(B({0x81, 0x01}), "ABCDEFGHIJKLMNOP"), TslVersion::k31},
      {"18 bytes of 5.0 (PBC 16)", One50(0, 1, 0, Ascii("ABCDEF")), TslVersion::k50},
      // FE 02 could be a 3.1 message to address 126; as a whole wrapped 5.0
      // packet it is taken as 5.0.
      {"18 bytes that unstuff to 5.0", StuffTsl50(One50(0, 1, 0, Ascii("ABCD"))), TslVersion::k50},
      {"18 bytes FE 02 that are no 5.0", Cat(B({0xFE, 0x02}), "ABCDEFGHIJKLMNOP"), TslVersion::k31},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(row.bytes.size(), 18u);
    TslProblem problem;
    const std::optional<TslDatagram> d = DecodeTslDatagram(row.bytes, &problem);
    ASSERT_TRUE(d) << problem.text;
    EXPECT_EQ(d->version, row.version);
  }
}

TEST(TslUmdTest, StreamReaderTakesPiecesJunkAndBadStuffing) {
  // Index 254 and screen 254: the DLE bytes are doubled on the wire.
  const Bytes a = One50(254, 254, 0x00D0, Ascii("CAM \xFE"));
  const Bytes b = One50(0, 2, 0x0002, Ascii("B"));
  const Bytes a_wire = StuffTsl50(a);
  ASSERT_GT(a_wire.size(), a.size() + 2);
  Bytes stream = B({'x', 'y', 0xFE});  // junk, and a DLE that starts nothing
  stream.insert(stream.end(), a_wire.begin(), a_wire.end());
  stream.insert(stream.end(), {0xFE, 0x02, 0x09, 0x00, 0xFE, 0x07});  // bad stuffing
  const Bytes b_wire = StuffTsl50(b);
  stream.insert(stream.end(), b_wire.begin(), b_wire.end());

  for (const size_t piece : {size_t{1}, size_t{2}, size_t{7}, stream.size()}) {
    SCOPED_TRACE(piece);
    Tsl50StreamReader reader;
    std::vector<Tsl50StreamReader::Result> results;
    for (size_t at = 0; at < stream.size(); at += piece) {
      auto got = reader.Feed(std::span(stream).subspan(at, std::min(piece, stream.size() - at)));
      results.insert(results.end(), got.begin(), got.end());
    }
    ASSERT_EQ(results.size(), 3u);
    ASSERT_TRUE(results[0].packet);
    EXPECT_EQ(results[0].packet->screen, 254);
    EXPECT_EQ(results[0].packet->displays.at(0).index, 254);
    EXPECT_EQ(results[0].packet->displays.at(0).text, "CAM \xC3\xBE");
    EXPECT_FALSE(results[1].packet);
    EXPECT_EQ(results[1].problem.fault, TslFault::kStuffing);
    ASSERT_TRUE(results[2].packet);
    EXPECT_EQ(results[2].packet->displays.at(0).text, "B");
    EXPECT_EQ(reader.StrayBytes(), 3u);
    EXPECT_EQ(reader.Held(), 0u);
  }
}

TEST(TslUmdTest, StreamReaderNeverHoldsMoreThanAPacket) {
  Tsl50StreamReader reader;
  // PBC 3000: refused as soon as its two bytes came, nothing held after.
  auto results = reader.Feed(B({0xFE, 0x02, 0xB8, 0x0B}));
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].problem.fault, TslFault::kTooLong);
  const Bytes flood(100000, 0x41);
  EXPECT_TRUE(reader.Feed(flood).empty());
  EXPECT_EQ(reader.Held(), 0u);
  EXPECT_EQ(reader.StrayBytes(), flood.size());
  // A packet cut off by the next start is refused, and the next one taken.
  Bytes cut = B({0xFE, 0x02, 0x0E, 0x00, 0x00});
  const Bytes next = StuffTsl50(One50(0, 3, 0, Ascii("C")));
  cut.insert(cut.end(), next.begin(), next.end());
  results = reader.Feed(cut);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].problem.fault, TslFault::kLength);
  ASSERT_TRUE(results[1].packet);
  EXPECT_EQ(results[1].packet->displays.at(0).index, 3);
}

TEST(TslUmdTest, EncodingFitsTheLargestPacket) {
  Tsl50Packet p;
  p.unicode = true;
  p.displays.push_back({1, TslLamp::kRed, TslLamp::kOff, TslLamp::kOff, 3, std::string(3000, 'a')});
  p.displays.push_back({2, TslLamp::kOff, TslLamp::kOff, TslLamp::kGreen, 3, "second"});
  const std::optional<std::vector<uint8_t>> bytes = EncodeTsl50(p);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), kTsl50MaxPacket);
  const std::optional<Tsl50Packet> back = DecodeTsl50(*bytes, nullptr);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->displays.size(), 2u);
  EXPECT_EQ(back->displays[1].text, "");  // the first took all the room
  p.displays.assign(400, Tsl50Display{});
  EXPECT_FALSE(EncodeTsl50(p));  // 400 bare messages do not fit
}

TEST(TslUmdTest, LabelText) {
  struct Row {
    const char* in;
    size_t max;
    const char* out;
  } const rows[] = {
      {"  CAM 1         ", 16, "CAM 1"},
      {"A\x01" "B\x7F" "C\xC2\x85", 16, "ABC"},
      {"Studio camera number one", 16, "Studio camera nu"},
      {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 3, "\xF0\x9F\x98\x80"},  // a pair is not split
      {"\t\r\n", 16, ""},
  };
  for (const Row& row : rows) EXPECT_EQ(TslLabelText(row.in, row.max), row.out) << row.in;
}

}  // namespace
}  // namespace zv
