// Which tally display lights which multiviewer window, and which input of
// the multiviewer each production-switcher source comes in on: the mapping
// file of --tsl-map, or the defaults without one.
//
//   {
//     "displays": [
//       {"tsl": "5.0", "screen": 0, "index": 3, "window": 3},
//       {"tsl": "5.0", "screen": 1, "index": 254, "multiviewer": "10.0.0.2", "window": 9, "tally": "right"},
//       {"tsl": "3.1", "address": 12, "window": 4, "tally": 1, "green": 2}
//     ],
//     "sources": [
//       {"source": 1, "input": 5, "name": "CAM 1"}
//     ]
//   }
//
// A display row: the TSL display (3.1 address 0-126, or 5.0 screen and
// index 0-65534), the multiviewer by its IPv4 address (left out: the first
// multiviewer known) and its window 1-16, and the tally that colours the
// window: for 5.0 "left" (the default), "right" or "text", whose lamp gives
// the colour; for 3.1 the number 1-4 (default 1) that makes the window red
// while it is on, and "green" a second one that makes it green. A source
// row: switcher source 1-12 on multiviewer input 1-16, and the name TSL out
// gives the source (16 characters at most). A file without "displays" or
// "sources" keeps the default of that part: screen 0 index 1-16 on windows
// 1-16, and sources 1-10 on inputs 1-10 named "Cam 01" to "Cam 10".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tally/tsl_umd.h"

namespace zv {

enum class TslLampChoice : uint8_t { kLeft, kRight, kText };

struct TallyDisplayRow {
  TslVersion version = TslVersion::k50;
  int address = 0;  // 3.1
  int screen = 0;   // 5.0
  int index = 0;    // 5.0
  std::string multiviewer;  // empty: the first multiviewer known
  int window = 1;           // 1..16
  TslLampChoice lamp = TslLampChoice::kLeft;  // 5.0
  int red_tally = 1;        // 3.1: 1..4
  int green_tally = 0;      // 3.1: 0 none, else 1..4
  bool operator==(const TallyDisplayRow&) const = default;
};

struct TallySourceRow {
  int source = 1;  // 1..12 (11 BLK, 12 MP1)
  int input = 1;   // 1..16
  std::string name;
  bool operator==(const TallySourceRow&) const = default;
};

struct TallyMap {
  std::vector<TallyDisplayRow> displays;
  std::vector<TallySourceRow> sources;

  static TallyMap Defaults();
  // The rows a 3.1 message or a 5.0 display message reaches (5.0 screen or
  // index 0xFFFF reaches every screen or index).
  std::vector<size_t> Rows31(int address) const;
  std::vector<size_t> Rows50(int screen, int index) const;
  // The multiviewer input of a switcher source; nothing when no row has it.
  std::optional<int> InputOf(int source) const;
  // The name TSL out gives a source: its row's, else "Cam 01".., "BLK", "MP1".
  std::string NameOf(int source) const;
};

// A mapping from its JSON text; nothing, with a sentence naming the row and
// key at fault ("displays[2]: window must be 1 to 16"), for a bad one.
std::optional<TallyMap> ParseTallyMap(const std::string& text, std::string* error);
// The same from a file (a small regular file).
std::optional<TallyMap> LoadTallyMap(const std::string& path, std::string* error);

// Source rows as the file's "sources" part writes them, on one line:
// [{"source":3,"input":7,"name":"CAM 3"}] (a row without a name has no
// "name"). The settings file keeps the rows in this form when no mapping
// file was given.
std::string TallySourcesJson(const std::vector<TallySourceRow>& rows);
// Source rows from that text, checked as the file's are; nothing, with a
// sentence ("sources[1]: source 3 is listed twice"), for bad ones.
std::optional<std::vector<TallySourceRow>> ParseTallySources(const std::string& text, std::string* error);
// Puts `rows` in the place of the "sources" part of the mapping file at
// `path`, keeping the rest ("displays") as the file has it. The whole new
// text goes to a temporary file beside it, with the file's permissions,
// which then takes the file's place (a link is followed): a reader sees
// the old file or the new one, never a part. False, with a sentence, when
// the file cannot be read as JSON or the new one cannot be written; the
// file is then as it was.
bool WriteTallySources(const std::string& path, const std::vector<TallySourceRow>& rows, std::string* error);

}  // namespace zv
