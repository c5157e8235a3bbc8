#pragma once

#include <QPointer>
#include <QRect>
#include <map>
#include <memory>
#include <span>

#include "controls/child_dialog.h"
#include "controls/key_presses.h"
#include "switcher/switcher_page_host.h"
#include "switcher/switcher_state.h"

namespace zv {

class CBitmapSlider;
class CButtonST;
class DeviceLink;

// The production switcher's panel (device type 0xA5): two bus rows, the
// next-transition keys, the transition types, Cut, Auto, FTB, the T-bar and
// a page area on the right. It only sends; every frame goes by UDP.
class CClass_switcher_dlg : public CChildDialog, public SwitcherPageHost {
  Q_OBJECT
 public:
  static constexpr int kResource = 237;
  // `link` reaches the device the panel is opened for; `record` is the
  // switcher's record, which outlives the panel.
  CClass_switcher_dlg(QWidget* parent, DeviceLink& link, SwitcherPageData& record);
  ~CClass_switcher_dlg() override;

  // One frame for the panel's device by UDP, whatever the connection mode;
  // queued on the link, so a click returns at once.
  void SendSwitcherCommand(uint8_t command, std::span<const uint8_t> params = {});
  // Replaces the page in the page area (0 transition, 1 luma, 2 chroma, 3 PIP).
  void ShowSwitcherPage(int k);

  SwitcherPageData& SwitcherRecord() override { return m_rules.Data(); }
  void SendSwitcherFrame(const SwitcherFrame& frame) override;

  CButtonST* Button(int id) const;
  // Whether the panel's timer 1, 2 or 3 runs.
  bool IsTimerRunning(int timer_id) const { return m_timers.count(timer_id) != 0; }

  CBitmapSlider* m_tbar = nullptr;
  QPointer<CChildDialog> m_p_cur_page;
  QRect m_page_rect;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetUpTbar();
  void ConnectButtons();
  // The keyboard: 1-8 preview, Shift+1-8 programme, C cut, A auto, Ctrl+B
  // fade to black; each clicks its button, so it sends what the click sends,
  // once per press however long the key is held.
  void SetUpShortcuts();
  // Applies the T-bar's messages still posted, so that a press that moves
  // the T-bar (Cut, Auto) comes after the drag steps made before it.
  void DeliverPendingTbarMessages();
  void Apply(const SwitcherEffects& fx);
  // Destroys the page shown and creates page k in the page area.
  void CreatePage(int k);
  void OnClicked(int id, SwitcherEffects (SwitcherRules::*press)());

  DeviceLink& m_link;
  SwitcherRules m_rules;
  // The program's timer ids 1..3 and Qt's ids for them.
  std::map<int, int> m_timers;
  // Set while effects are applied: a timer tick that arrives inside a notice
  // shown by a send waits for the next one.
  bool m_applying = false;
  // The keys struck in the panel, and whether the key whose shortcut is
  // being matched is a new press (a held key's repeats act on nothing).
  KeyPresses m_key_presses;
  bool m_key_press_new = true;
};

}  // namespace zv
