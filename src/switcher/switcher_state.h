// The production switcher without a window: its record, the rules of its
// buttons and of the T-bar, and what each press sends and shows. The panel
// only applies the effects these return (frames, button images, the page to
// show, the Auto timer and the thumb position).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "switcher/switcher_commands.h"

namespace zv {

// The panel's picture of the device. It lives in the main window for the
// whole run, so it outlives every panel. Field order is the program's.
struct SwitcherPageData {
  uint8_t zv_switcher_pgm_source;      // 0 none, 1..10 inputs, 11 BLK, 12 MP1
  uint8_t zv_switcher_pvm_source;
  uint8_t zv_switcher_tbar_value;      // T-bar value; arithmetic modulo 256
  uint8_t zv_switcher_tbar_reverse;    // 1: next travel runs bottom to top
  uint8_t zv_switcher_auto_rate;       // 0, 1, 2 for r1, r2, r3
  uint8_t zv_switcher_pip_state;
  uint8_t zv_switcher_on_air;
  uint8_t zv_switcher_on_air2;
  uint8_t zv_switcher_bkgd_state;
  uint8_t zv_switcher_key1_state;
  uint8_t zv_switcher_key2_state;
  uint8_t zv_switcher_next_key;        // 0 none, 1 PIP, 2 KEY 1, 3 KEY 2
  uint8_t zv_switcher_trans_type;      // 1 MIX, 2 DIP, 3 WIPE
  uint8_t zv_switcher_ftb_state;
  uint8_t zv_switcher_in_transition;   // the Auto lamp is lit
  uint8_t zv_switcher_page;            // 0 transition, 1 luma, 2 chroma, 3 PIP
  uint8_t zv_switcher_dip_source;
  uint8_t zv_switcher_wipe_source;
  uint8_t zv_switcher_wipe_pattern;    // 0..8
  uint8_t zv_switcher_luma_source;     // 0..10
  uint8_t zv_switcher_luma_level[3];
  uint8_t zv_switcher_chroma_source;   // 0..10
  uint8_t zv_switcher_chroma_type;     // 0 or 1
  uint8_t zv_switcher_chroma_red[2];   // per chroma type
  uint8_t zv_switcher_chroma_green[2];
  uint8_t zv_switcher_chroma_blue[2];
  uint8_t zv_switcher_pip_source;      // 0..10
  uint8_t zv_switcher_pip_border_enable;
  uint8_t zv_switcher_pip_border_color;  // 0..3
  uint8_t zv_switcher_pip_border_width;  // 0..6
  uint16_t zv_switcher_pip_x;          // pixels of a 1920 x 1080 raster
  uint16_t zv_switcher_pip_y;
  uint16_t zv_switcher_pip_width;
};

// Program start: every byte 0, the T-bar set to travel upward first.
void ResetSwitcherPageData(SwitcherPageData& data);

// ---- controls and images ----------------------------------------------------

inline constexpr int kSwitcherSourceCount = 12;  // 1..10 inputs, 11 BLK, 12 MP1
// Sources the digit keys reach (1..8).
inline constexpr int kSwitcherShortcutSources = 8;
// Buttons of bus sources 1..12 (index n - 1); 9 and 10 are hidden.
inline constexpr std::array<int, kSwitcherSourceCount> kPgmSourceButtons{
    1032, 1033, 1011, 1107, 1108, 1109, 1110, 1111, 1123, 1124, 1119, 1120};
inline constexpr std::array<int, kSwitcherSourceCount> kPvmSourceButtons{
    1034, 1035, 1012, 1112, 1113, 1114, 1115, 1116, 1126, 1127, 1153, 1155};

// Three consecutive faces per source n: preview (green), programme (red), normal.
constexpr int SourcePreviewImage(int n) { return 245 + 3 * n; }
constexpr int SourceProgramImage(int n) { return 246 + 3 * n; }
constexpr int SourceNormalImage(int n) { return 247 + 3 * n; }

enum SwitcherControl : int {
  kIdSwPip = 1131,
  kIdSwKey1 = 1144,
  kIdSwKey2 = 1145,
  kIdSwBkgd = 1135,
  kIdSwOnAir = 1134,
  kIdSwOnAir2 = 1158,
  kIdSwMix = 1136,
  kIdSwDip = 1162,
  kIdSwWipe = 1132,
  kIdSwCut = 1151,
  kIdSwAuto = 1118,
  kIdSwFtb = 1152,
  kIdSwStream = 1161,
  kIdSwRate1 = 1036,
  kIdSwRate2 = 1037,
  kIdSwRate3 = 1038,
  kIdSwTbar = 1160,
  kIdSwPageArea = 1166,
};

struct ImagePair {
  int control_id;
  int normal;
  int selected;
};
// Next-transition key elements 1 PIP, 2 KEY 1, 3 KEY 2 (index k - 1).
inline constexpr std::array<ImagePair, 3> kKeyElementImages{{
    {kIdSwPip, 299, 300}, {kIdSwKey1, 290, 291}, {kIdSwKey2, 292, 293}}};
// Transition types 1 MIX, 2 DIP, 3 WIPE (index t - 1).
inline constexpr std::array<ImagePair, 3> kTransitionTypeImages{{
    {kIdSwMix, 295, 296}, {kIdSwDip, 286, 287}, {kIdSwWipe, 303, 304}}};
// Auto rates r1, r2, r3.
inline constexpr std::array<ImagePair, 3> kRateImages{{
    {kIdSwRate1, 341, 342}, {kIdSwRate2, 343, 344}, {kIdSwRate3, 345, 346}}};
inline constexpr ImagePair kBkgdImages{kIdSwBkgd, 246, 247};
inline constexpr ImagePair kOnAirImages{kIdSwOnAir, 298, 297};
inline constexpr ImagePair kFtbImages{kIdSwFtb, 289, 288};
inline constexpr ImagePair kAutoImages{kIdSwAuto, 245, 305};
inline constexpr int kOnAir2Image = 298;
inline constexpr int kCutImage = 285;
inline constexpr int kStreamImage = 347;
inline constexpr int kSwitcherBackground = 294;
inline constexpr int kSwitcherPageBackground = 194;

// The T-bar control.
inline constexpr int kTbarChannelImage = 301;
inline constexpr int kTbarThumbImage = 302;
inline constexpr int kTbarMarginLeft = 10, kTbarMarginTop = 30, kTbarMarginRight = 0,
                     kTbarMarginBottom = 35;
inline constexpr int kTbarTop = 0;      // thumb at the top
inline constexpr int kTbarBottom = 129; // thumb at the bottom

// Auto timers: rate k runs timer id k + 1 with this period.
struct AutoTimer {
  int timer_id;
  int period_ms;
};
inline constexpr std::array<AutoTimer, 3> kAutoTimers{{{1, 1}, {2, 10}, {3, 20}}};

// Wipe pattern buttons 0..8 with their faces. Pattern 5 shows the block in
// the bottom-left corner (367 / 366), so every pattern has a picture of its own.
inline constexpr std::array<ImagePair, 9> kWipePatternButtons{{
    {1032, 361, 360}, {1033, 370, 369}, {1034, 368, 363},
    {1035, 362, 355}, {1036, 359, 358}, {1037, 367, 366},
    {1038, 357, 356}, {1043, 354, 353}, {1044, 365, 364}}};

// ---- effects ---------------------------------------------------------------

struct SwitcherFrame {
  uint8_t command = 0;
  std::array<uint8_t, 3> params{};
  uint8_t param_count = 0;
  std::span<const uint8_t> Params() const { return {params.data(), param_count}; }
  bool operator==(const SwitcherFrame&) const = default;
};
SwitcherFrame MakeSwitcherFrame(uint8_t command, std::initializer_list<uint8_t> params = {});

struct ImageChange {
  int control_id;
  int image_id;
  // A control of the settings page shown (the wipe patterns), whose ids
  // repeat those of the panel's own controls.
  bool on_page = false;
  bool operator==(const ImageChange&) const = default;
};

// What a press or a message asks of the panel, in this order: images, the
// T-bar position, timers, frames, then the page.
struct SwitcherEffects {
  std::vector<SwitcherFrame> frames;
  std::vector<ImageChange> images;  // later changes of a control win
  std::optional<int> page;          // ShowSwitcherPage with this page
  std::optional<int> tbar_position; // SetPosition on the T-bar
  int stop_timer_id = 0;            // 0: none
  int start_timer_id = 0;           // 0: none
  int start_timer_period_ms = 0;
  // The T-bar is taken from the operator's hand: a drag under way ends
  // without a report, and the held mouse moves the thumb again only after
  // the next press (the thumb no longer stands where the hand holds it).
  bool tbar_let_go = false;

  void Send(uint8_t command, std::initializer_list<uint8_t> params = {}) {
    frames.push_back(MakeSwitcherFrame(command, params));
  }
  void Show(int control_id, int image_id) { images.push_back({control_id, image_id}); }
  void ShowOnPage(int control_id, int image_id) { images.push_back({control_id, image_id, true}); }
  // The image a control shows after these effects, or 0 when unchanged.
  int ImageOf(int control_id) const;
};

// ---- the program's operations over the record ---------------------------------

void SetPgmSource(SwitcherPageData& d, int n, SwitcherEffects& fx);
void SetPvmSource(SwitcherPageData& d, int n, SwitcherEffects& fx);
void ExchangeBuses(SwitcherPageData& d, SwitcherEffects& fx);
void SetTransitionLamp(SwitcherPageData& d, int on, SwitcherEffects& fx);
void MarkPreviewOnAir(const SwitcherPageData& d, SwitcherEffects& fx);
void SelectNextKey(SwitcherPageData& d, int k, SwitcherEffects& fx);
void SelectTransitionType(SwitcherPageData& d, int t, SwitcherEffects& fx);
void SelectAutoRate(SwitcherPageData& d, int k, SwitcherEffects& fx);
void ShowSwitcherPage(SwitcherPageData& d, int k, SwitcherEffects& fx);
void ApplyTbarPosition(SwitcherPageData& d, int a);
void SendTbarValue(const SwitcherPageData& d, uint8_t p, SwitcherEffects& fx);

// ---- the panel's handlers ------------------------------------------------------

// The rules of one panel instance over the record it shares with the main
// window. Besides the record it knows only which Auto timer runs.
class SwitcherRules {
 public:
  explicit SwitcherRules(SwitcherPageData& data) : m_data(data) {}

  SwitcherPageData& Data() { return m_data; }
  const SwitcherPageData& Data() const { return m_data; }
  int RunningTimer() const { return m_running_timer; }

  // Opening: BKGD and MIX selected, every button showing the kept record,
  // the thumb placed so that it agrees with the direction, page 0.
  SwitcherEffects Open();

  SwitcherEffects PressPgm(int n);
  SwitcherEffects PressPvm(int n);
  SwitcherEffects Cut();
  SwitcherEffects Ftb();
  SwitcherEffects OnAir();
  SwitcherEffects OnAir2();
  SwitcherEffects Bkgd();
  SwitcherEffects Pip();
  SwitcherEffects Key1() { return PressKey(2); }
  SwitcherEffects Key2() { return PressKey(3); }
  SwitcherEffects TransitionType(int t);

  // T-bar: moving and released messages with the thumb position.
  SwitcherEffects TbarMoving(int position);
  SwitcherEffects TbarReleased(int position);
  // Auto with the T-bar's current position and whether the operator's hand
  // holds it (a surface without a T-bar holds nothing); the timer step with
  // its id.
  SwitcherEffects Auto(int thumb_position, bool tbar_held = false);
  SwitcherEffects TimerStep(int timer_id);
  SwitcherEffects Rate(int k);

 private:
  SwitcherEffects PressKey(int element);
  // An operator's hand on the T-bar takes over from the timer.
  void StopAutoFor(SwitcherEffects& fx);
  // Remembers the last progress these effects send to the device.
  void NoteProgressSent(const SwitcherEffects& fx);

  SwitcherPageData& m_data;
  int m_running_timer = 0;
  // The last progress the device was sent in the travel under way (0: none).
  uint8_t m_last_progress = 0;
};

// Where the thumb belongs for the kept record: an idle T-bar rests at the
// end its next travel starts from; a transition left half way shows its value.
int TbarThumbForRecord(const SwitcherPageData& d);
// How far the thumb at `position` has travelled from the end where the next
// transition starts: 0 at rest, up to 128 one step before the far end.
int TbarTravel(const SwitcherPageData& d, int position);

// ---- pages ------------------------------------------------------------------

// "Cam 01" .. "Cam 10", "MP": the source lists of the key and PIP pages.
inline constexpr int kSourceListCount = 11;
std::string SourceListText(int index);

struct ChromaPreset {
  const char* text;
  uint8_t red, green, blue;
};
inline constexpr std::array<ChromaPreset, 2> kChromaPresets{{
    {"Key Light Blue", 32, 32, 220}, {"Key Light Green", 32, 220, 32}}};
// Writes both presets into the record, as each chroma page does at creation.
void WriteChromaPresets(SwitcherPageData& d);

inline constexpr int kLevelMaximum = 255;
inline constexpr int kLumaLevelStart = 16;
// A level in its field: two digits at least ("07").
std::string LevelText(int value);

// PIP trackbars: X, Y, width, each 0..120, scaled to pixels.
inline constexpr int kPipTrackbarMaximum = 120;
inline constexpr std::array<int, 3> kPipScale{16, 9, 16};
inline constexpr std::array<uint8_t, 3> kPipCommands{kSwitcherPipX, kSwitcherPipY,
                                                     kSwitcherPipWidth};
uint16_t PipPixels(int trackbar, int position);
// The trackbar position that shows a kept pixel value (clamped to 0..120).
int PipPosition(int trackbar, uint16_t pixels);
// Stores the pixel value in its field and returns the frame to send.
SwitcherFrame StorePipPixels(SwitcherPageData& d, int trackbar, int position);

// Pattern selection on the transition settings page: nothing when k is the
// stored pattern; otherwise the faces of kWipePatternButtons swap and 0x92 is
// sent with k.
SwitcherEffects SelectWipePattern(SwitcherPageData& d, int k);
// A choice from one of the pages' lists: stores the index in the field the
// command belongs to and returns the frame. Indexes outside the list (and
// commands that are not list commands) send nothing.
std::optional<SwitcherFrame> StoreListChoice(SwitcherPageData& d, uint8_t command, int index);
// Mouse released over a luma trackbar: the three levels, in trackbar order.
SwitcherFrame StoreLumaLevels(SwitcherPageData& d, const std::array<int, 3>& levels);
// Mouse released over a chroma trackbar: the levels become the preset of the
// current chroma type.
SwitcherFrame StoreChromaLevels(SwitcherPageData& d, const std::array<int, 3>& levels);
// The preset levels of chroma type t (0 or 1).
std::array<int, 3> ChromaPresetLevels(const SwitcherPageData& d, int t);

inline constexpr std::array<const char*, 2> kBorderEnableTexts{"Disable", "Enable"};
inline constexpr std::array<const char*, 4> kBorderColorTexts{"White", "Red", "Green", "Blue"};
inline constexpr std::array<const char*, 7> kBorderWidthTexts{"1", "2", "3", "4", "5", "6", "7"};

}  // namespace zv
