#pragma once

#include <QPointer>
#include <QRect>
#include <map>
#include <memory>
#include <span>

#include "controls/child_dialog.h"
#include "controls/key_presses.h"
#include "switcher/switcher_page_host.h"
#include "switcher/switcher_session.h"
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
  // A view of `session`, the device's session, which outlives the panel;
  // `link` is for the panel's own messages.
  CClass_switcher_dlg(QWidget* parent, DeviceLink& link, SwitcherSession& session);
  ~CClass_switcher_dlg() override;

  // Replaces the page in the page area (0 transition, 1 luma, 2 chroma, 3 PIP).
  void ShowSwitcherPage(int k);

  SwitcherPageData& SwitcherRecord() override { return m_session.MutableData(); }
  ActionOutcome Act(const std::string& action, const ActionArgs& args = {}) override;
  SwitcherSession& Session() { return m_session; }

  CButtonST* Button(int id) const;
  // Whether the session's Auto runs on timer 1, 2 or 3.
  bool IsTimerRunning(int timer_id) const { return m_session.RunningTimer() == timer_id; }

  CBitmapSlider* m_tbar = nullptr;
  QPointer<CChildDialog> m_p_cur_page;
  QRect m_page_rect;

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
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
  // Shows what the session changed: faces, the thumb, the page.
  void Show(const SwitcherEffects& fx);
  // Destroys the page shown and creates page k in the page area.
  void CreatePage(int k);
  // A click on the button `id` invokes `action`.
  void OnClicked(int id, const char* action);

  DeviceLink& m_link;
  SwitcherSession& m_session;
  int m_effects_token = 0;
  // The keys struck in the panel, and whether the key whose shortcut is
  // being matched is a new press (a held key's repeats act on nothing).
  KeyPresses m_key_presses;
  bool m_key_press_new = true;
};

}  // namespace zv
