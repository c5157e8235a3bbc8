// A multiviewer's whole setup as a file: what the read-back carries (layout,
// format, window sources, labels, their colours, the overlay, audio and
// display switches), written as JSON, turned back into the frames that set
// it on a device in a fixed order, and compared with what a read-back
// brought, so that an operator learns what did not take.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "multiview/multiview_state.h"

namespace zv {

struct MultiviewSetup {
  uint8_t layout = 16;  // the device's code: the number of windows
  uint8_t format = 7;   // the device's code of the video format
  bool labels_on = true;
  bool audio_on = false;
  uint8_t audio_source = 1;  // window 1 to 16
  bool overlay_on = false;
  bool border_on = false;
  bool lock_on = false;
  // Input of window n + 1; each window starts on the input of its number.
  std::array<uint8_t, kMultiviewWindowCount> sources{1, 2, 3, 4, 5, 6, 7, 8,
                                                     9, 10, 11, 12, 13, 14, 15, 16};
  std::array<std::u16string, kMultiviewWindowCount> labels;
  std::array<uint8_t, kMultiviewWindowCount> label_text{};  // colour indexes
  std::array<uint8_t, kMultiviewWindowCount> label_back{};
  std::array<uint8_t, kMultiviewWindowCount> overlay_text{};
  std::array<uint8_t, kMultiviewWindowCount> overlay_back{};
  bool operator==(const MultiviewSetup&) const = default;
};

// Which settings a file names; the rest are left as the device has them.
struct MultiviewSetupKeys {
  bool layout = false, format = false, labels_on = false, audio_on = false, audio_source = false,
       overlay_on = false, border_on = false, lock_on = false;
  std::array<bool, kMultiviewWindowCount> sources{}, labels{}, label_text{}, label_back{},
      overlay_text{}, overlay_back{};
  // Every setting: a whole setup, as a saved file holds it.
  static MultiviewSetupKeys All();
  bool operator==(const MultiviewSetupKeys&) const = default;
};

// What the record holds now (after a read-back, what the device holds).
MultiviewSetup SetupFromState(const MultiviewerState& state);

// The file: layout and audio source as numbers, the format and colours by
// their names, labels as UTF-8 text. See README for an example.
std::string EncodeSetupJson(const MultiviewSetup& setup, const std::string& name = {});
// Reads a file written by EncodeSetupJson (or by hand): every key must be
// known and every value in range; false with a message naming the bad key.
// Keys left out keep what `setup` held; `keys`, when given, is set to the
// settings the file names.
bool DecodeSetupJson(const std::string& text, MultiviewSetup* setup, std::string* error,
                     MultiviewSetupKeys* keys = nullptr);

// Why a window label cannot go to the device, as the rest of a sentence
// about it ("has a control character (U+001B at character 4)"); empty when
// it can. A label is at most 16 UTF-16 units of printable text: the device
// would draw a control character (below U+0020, U+007F to U+009F) as
// garbage, and a NUL ends the label there and fails the command.
std::string MultiviewLabelProblem(const std::u16string& label);

// One command of an apply: a set frame, or the label of a window.
struct MultiviewStep {
  uint8_t command = 0;
  std::vector<uint8_t> params;
  int label_window = -1;  // 0..15: the set-window-label frame of that window
  std::u16string label;
  bool operator==(const MultiviewStep&) const = default;
};

// The frames that set `setup`, in the order they go out: the format first
// (the device redraws everything when it changes), then the layout, the
// window sources, the labels and their switch, the colours window by
// window, the overlay, the audio meter and its source, the border, and the
// lock last, so that a locked device has taken everything before it locks.
// Only the settings in `keys` are sent; `names`, when given, gets one line
// per step naming what it sets ("layout", "window 3 label").
std::vector<MultiviewStep> SetupSteps(const MultiviewSetup& setup,
                                      const MultiviewSetupKeys& keys = MultiviewSetupKeys::All(),
                                      std::vector<std::string>* names = nullptr);

// The single controls, with the parameters the panel sends. Frame: a set
// command with its parameters (format, the switches, restore defaults).
MultiviewStep Frame(uint8_t command, std::vector<uint8_t> params);
MultiviewStep LayoutStep(uint8_t window_count);
MultiviewStep SourceStep(int window, uint8_t input);  // window 1 to 16
MultiviewStep LabelStep(int window, const std::u16string& label);
enum class MultiviewColourTarget { kLabelText, kLabelBack, kOverlayText, kOverlayBack };
MultiviewStep ColourStep(MultiviewColourTarget target, int window, uint8_t colour);  // window 0: all

// Lines naming every field where `got` differs from `wanted` ("window 3
// source: wanted 5, device has 2"); empty when the device took it all.
// Only the settings in `keys` are judged.
std::vector<std::string> SetupDifferences(const MultiviewSetup& wanted, const MultiviewSetup& got,
                                          const MultiviewSetupKeys& keys = MultiviewSetupKeys::All());

// Blocking, on a link aimed at the device: sends one step by the link's
// connection mode. 1 when it counts as sent.
int SendMultiviewerStep(LinkState& link, const MultiviewStep& step);
// Reads the device back into a setup; nothing when it did not answer.
std::optional<MultiviewSetup> ReadMultiviewerSetup(LinkState& link);

// What an apply did.
struct MultiviewApplyResult {
  bool answered_before = false;   // the device answered the read before anything was sent
  std::vector<std::string> sent;  // one line per step sent ("window 3 label")
  // The read-back after the steps (for the record); nothing when the device
  // did not answer it.
  std::optional<std::vector<uint8_t>> content;
  std::vector<std::string> missed;  // what the read-back shows the device did not take
};
// Blocking, on a link aimed at the device: reads the device (nothing is sent
// to one that does not answer), sends the settings `keys` names with their
// values in `wanted`, reads the device back and names what it did not take.
// zvctl and the panel's door both apply setups through it.
MultiviewApplyResult ApplyMultiviewerSetup(LinkState& link, const MultiviewSetup& wanted,
                                           const MultiviewSetupKeys& keys);
// One line for the operator: what went out and what took, e.g. "sent 1
// setting (window 3 label) to MV; it took all of it".
std::string ApplyResultText(const MultiviewApplyResult& result, const std::string& device);

// Names and codes of the file.
std::optional<uint8_t> MultiviewFormatCode(const std::string& name);
std::string MultiviewFormatName(uint8_t code);
std::optional<uint8_t> MultiviewColourIndex(const std::string& name);

// Labels travel as UTF-16; files and terminals carry UTF-8.
std::string Utf16ToUtf8(const std::u16string& text);
std::optional<std::u16string> Utf8ToUtf16(const std::string& text);

}  // namespace zv
