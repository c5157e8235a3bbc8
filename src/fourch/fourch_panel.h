#pragma once

#include <QImage>
#include <QRect>
#include <array>
#include <cstdint>
#include <map>

#include "controls/child_dialog.h"
#include "fourch/fourch_state.h"

class QComboBox;

namespace zv {

class CButtonST;
class DeviceLink;
class LinkState;

// What the four-channel panel keeps beyond its own life: the record, the
// preview model and where the preview stands.
struct TriskPanelRecords {
  TriskPageData& data;
  TriskPreviewSlots& preview;
  QRect& preview_rect;
};

// Control ids of the four-channel panel.
enum TriskControl : int {
  kIdTriskPreviewOrigin = 1185,
  kIdTriskSignalGroup = 1186,
  kIdTriskModeGroup = 1188,
  kIdTriskLoopGroup = 1190,
  kIdTriskFirstModeButton = 1032,  // show mode m is 1032 + m, up to 1048
  kIdTriskLoopButton = 1011,
  kIdTriskLoopTime = 1191,
  kIdTriskFirstPipList = 1189,
  kIdTriskSecondPipList = 1192,
  kIdTriskOutputFormatList = 1187,
  kIdTriskFirstIndicator = 1196,  // input n (0 to 3) is 1196 + n
};
inline constexpr int kTriskLoopOffImage = 373;   // a start face
inline constexpr int kTriskLoopOnImage = 374;    // a stop face
inline constexpr int kTriskSignalImage = 375;
inline constexpr int kTriskNoSignalImage = 376;
inline constexpr int kTriskIndicatorSize = 32;

// Draws the preview of the show mode's slots into a 720 x 480 image: grey
// ground, each window framed in light blue with a dark inset and its number.
QImage DrawTriskPreview(const TriskPreviewSlots& windows);

// The four-channel switcher's panel (device type 0x60): the preview of the
// output picture, a button per show mode, the loop control and its time, the
// two picture-in-picture channel lists and the four input signal lamps. It
// reads the device back when it opens and polls the signal status every five
// seconds.
class CClass_trisk_main_dlg : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 308;
  static constexpr int kSignalTimerId = 1;
  static constexpr int kSignalPollMs = 5000;

  CClass_trisk_main_dlg(QWidget* parent, DeviceLink& link, const TriskPanelRecords& records);

  // Mode selection, from a mode button or from the read-back.
  void OnShowModeSelected(int mode);
  // Asks the device for its signal status; the lamps whose status changed
  // follow when the answer comes. A poll still waiting is not asked again.
  void PollSignalStatus();
  // True while the read-back of the panel's opening waits for its answer.
  bool ReadingState() const { return m_reading_state; }

  // Set by the read-back just before it hands over a mode that came from the
  // device, so that the selection does not send it back.
  bool m_show_mode_from_device = false;

  // The icon id lamp n shows, and how many times a lamp was set.
  int IndicatorImage(int channel) const;
  int IndicatorUpdates() const { return m_indicator_updates; }
  // The Qt timer behind a timer id of the program; 0 when not running.
  int QtTimerOf(int timer_id) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void OnInitDialog();
  void ReadState();
  // Shows the record's state (after the read-back, answered or not).
  void ShowRecord(bool answered);
  void OnLoopToggle();
  void OnLoopTimeEntered();
  void OnOutputFormat(int entry);
  void OnPipChannel(int list, int entry);
  void SetIndicator(int channel, uint8_t status);
  // Queues a command built from a copy of the record.
  void SendTrisk(const char* what, bool (*send)(LinkState&, const TriskPageData&));
  void SetPipListStates();
  CButtonST* ModeButton(int mode) const;
  QComboBox* Combo(int id) const;
  QComboBox* PipList(int list) const;

  DeviceLink& m_link;
  TriskPanelRecords m_records;
  bool m_reading_state = false;
  bool m_polling = false;
  std::array<int, kTriskChannelCount> m_indicator_image{};
  int m_indicator_updates = 0;
  std::map<int, int> m_timer_ids;  // program's timer id -> Qt's
};

}  // namespace zv
