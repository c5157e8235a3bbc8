#pragma once

#include <QImage>
#include <QRect>
#include <array>
#include <cstdint>
#include <map>
#include <set>

#include "controls/child_dialog.h"
#include "fourch/fourch_session.h"

class QComboBox;

namespace zv {

class CButtonST;

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
// is a view of the device's session: its controls invoke the session's
// actions, and it shows what the session says changed. It has the session
// read the device back when it opens, and its own five-second timer drives
// the session's signal poll (a poll belongs to a view that shows the lamps:
// without a panel nobody looks at them).
class CClass_trisk_main_dlg : public CChildDialog {
  Q_OBJECT
 public:
  static constexpr int kResource = 308;
  static constexpr int kSignalTimerId = 1;
  static constexpr int kSignalPollMs = 5000;

  // `preview_rect` is where the window keeps the preview's place.
  CClass_trisk_main_dlg(QWidget* parent, FourChannelSession& session, QRect& preview_rect);
  ~CClass_trisk_main_dlg() override;

  FourChannelSession& Session() { return m_session; }
  // The operator's choice of a show mode (a mode button).
  void OnShowModeSelected(int mode);
  // Asks the device for its signal status; the lamps whose status changed
  // follow when the answer comes. A poll still waiting is not asked again.
  void PollSignalStatus();
  // True while the read-back of the panel's opening waits for its answer.
  bool ReadingState() const { return m_reading_state; }

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
  // Shows what the session says changed.
  void Show(const FourChannelChange& change);
  // Runs an action of the session; a refusal for a bad value is said in the
  // status strip, one the record's state explains changes nothing.
  ActionOutcome Act(const std::string& action, const ActionArgs& args = {});
  void OnLoopToggle();
  void OnLoopTimeEntered();
  void OnOutputFormat(int entry);
  void OnPipChannel(int list, int entry);
  void SetIndicator(int channel, uint8_t status);
  void SetPipListStates();
  CButtonST* ModeButton(int mode) const;
  QComboBox* Combo(int id) const;
  QComboBox* PipList(int list) const;

  FourChannelSession& m_session;
  QRect& m_preview_rect;
  int m_changes_token = 0;
  int m_follow_handle = 0;
  // Whether a list may show the device's value now (the operator does not
  // have it open); one open is shown when it closes.
  bool MayShowIn(QComboBox* list);
  std::set<QComboBox*> m_held;
  bool m_reading_state = false;
  std::array<int, kTriskChannelCount> m_indicator_image{};
  int m_indicator_updates = 0;
  std::map<int, int> m_timer_ids;  // program's timer id -> Qt's
};

}  // namespace zv
