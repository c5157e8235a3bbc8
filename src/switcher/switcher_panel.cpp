#include "switcher/switcher_panel.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShowEvent>
#include <QTimerEvent>
#include <utility>

#include "controls/bitmap_slider.h"
#include "controls/button_st.h"
#include "link/command_frame.h"
#include "link/device_link.h"
#include "platform/platform.h"
#include "res/template_builder.h"
#include "switcher/stream_viewer.h"
#include "switcher/switcher_commands.h"
#include "switcher/switcher_chroma_page.h"
#include "switcher/switcher_function_page.h"
#include "switcher/switcher_luma_page.h"
#include "switcher/switcher_pip_page.h"

namespace zv {
namespace {

// The T-bar sits where the template puts it, in dialog units.
constexpr ControlTemplate kTbarPlace =
    FromDialogUnits({kIdSwTbar, ControlKind::kStaticFrame, "", 473, 55, 0, 0, true, 0});

}  // namespace

CClass_switcher_dlg::CClass_switcher_dlg(QWidget* parent, DeviceLink& link,
                                         SwitcherPageData& record)
    : CChildDialog(parent, kResource), m_link(link), m_rules(record) {
  // The panel itself can hold the keyboard (a click on its background
  // gives it back), so that its keys work without a control focused.
  setFocusPolicy(Qt::ClickFocus);
  SetUpTbar();
  ConnectButtons();
  SetUpShortcuts();
  m_page_rect = Item(kIdSwPageArea)->geometry();
  Apply(m_rules.Open());
}

CClass_switcher_dlg::~CClass_switcher_dlg() {
  // The timers end with the panel; the record keeps where the T-bar stood.
  m_rules.Close();
  for (const auto& [id, qt_id] : m_timers) killTimer(qt_id);
  m_timers.clear();
}

void CClass_switcher_dlg::SetUpTbar() {
  m_tbar = new CBitmapSlider(this, kIdSwTbar);
  m_tbar->setAccessibleName(QStringLiteral("T-bar"));
  m_tbar->setToolTip(QStringLiteral("T-bar"));
  m_tbar->setObjectName(ItemName(kIdSwTbar));
  m_tbar->move(kTbarPlace.x, kTbarPlace.y);
  m_tbar->LoadChannelImage(kTbarChannelImage);
  m_tbar->LoadThumbImage(kTbarThumbImage);
  m_tbar->SetMargins(kTbarMarginLeft, kTbarMarginTop, kTbarMarginRight, kTbarMarginBottom);
  m_tbar->SetVertical(true);
  m_tbar->SetLimits(kTbarTop, kTbarBottom);
  m_tbar->SetPosition(kTbarBottom);
  m_tbar->installEventFilter(this);
  m_tbar->SetValueForPeople(0, kTbarBottom - 1,
                            [this](int position) { return TbarTravel(m_rules.Data(), position); });
  m_tbar->show();
  // Tab reaches the T-bar with the rest of its group.
  SetGroupTabOrder(this, *FindDialogTemplate(kResource));
}

CButtonST* CClass_switcher_dlg::Button(int id) const { return qobject_cast<CButtonST*>(Item(id)); }

void CClass_switcher_dlg::OnClicked(int id, SwitcherEffects (SwitcherRules::*press)()) {
  if (auto* b = qobject_cast<QAbstractButton*>(Item(id)))
    connect(b, &QAbstractButton::clicked, this, [this, press] { Apply((m_rules.*press)()); });
}

void CClass_switcher_dlg::ConnectButtons() {
  auto on_click = [this](int id, auto handler) {
    if (auto* b = qobject_cast<QAbstractButton*>(Item(id)))
      connect(b, &QAbstractButton::clicked, this, handler);
  };
  for (int n = 1; n <= kSwitcherSourceCount; ++n) {
    on_click(kPgmSourceButtons[n - 1], [this, n] { Apply(m_rules.PressPgm(n)); });
    on_click(kPvmSourceButtons[n - 1], [this, n] { Apply(m_rules.PressPvm(n)); });
  }
  on_click(kIdSwCut, [this] {
    DeliverPendingTbarMessages();
    Apply(m_rules.Cut());
  });
  OnClicked(kIdSwFtb, &SwitcherRules::Ftb);
  OnClicked(kIdSwOnAir, &SwitcherRules::OnAir);
  OnClicked(kIdSwOnAir2, &SwitcherRules::OnAir2);
  OnClicked(kIdSwBkgd, &SwitcherRules::Bkgd);
  OnClicked(kIdSwPip, &SwitcherRules::Pip);
  OnClicked(kIdSwKey1, &SwitcherRules::Key1);
  OnClicked(kIdSwKey2, &SwitcherRules::Key2);
  for (int t = 1; t <= 3; ++t)
    on_click(kTransitionTypeImages[t - 1].control_id,
             [this, t] { Apply(m_rules.TransitionType(t)); });
  on_click(kIdSwAuto, [this] {
    DeliverPendingTbarMessages();
    Apply(m_rules.Auto(m_tbar->GetPosition(), m_tbar->Travel().IsDragging()));
  });
  for (int k = 0; k < 3; ++k)
    on_click(kRateImages[k].control_id, [this, k] { Apply(m_rules.Rate(k)); });
  on_click(kIdSwStream, [this] {
    const std::string dir = ExecutableDir();
    if (LaunchStreamViewer(dir) == StreamViewerLaunch::kStartFailed)
      m_link.ShowStatus("Viewer program not found: " + StreamViewerPath(dir), true);
  });
}

void CClass_switcher_dlg::SetUpShortcuts() {
  // Keys typed into a field are the field's: a level of 35 must not cut.
  const auto typing = [] {
    QWidget* w = QApplication::focusWidget();
    auto* combo = qobject_cast<QComboBox*>(w);
    return qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
           qobject_cast<QTextEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
           (combo && combo->isEditable());
  };
  const auto add = [this, typing](const QKeySequence& keys, int id) {
    auto* button = qobject_cast<QAbstractButton*>(Item(id));
    if (!button) return;
    auto* shortcut = new QShortcut(keys, this);
    // Only while the focus is somewhere in this panel.
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    // A held key repeats some thirty times a second: one Cut, not thirty;
    // one fade to black, not an odd or even count of them.
    shortcut->setAutoRepeat(false);
    connect(shortcut, &QShortcut::activated, this, [this, button, typing] {
      const bool new_press = std::exchange(m_key_press_new, true);
      if (new_press && !typing() && button->isEnabled()) button->click();
    });
    button->setToolTip(QStringLiteral("%1 (%2)").arg(button->toolTip(),
                                                     keys.toString(QKeySequence::NativeText)));
  };
  for (int n = 1; n <= kSwitcherShortcutSources; ++n) {
    const auto digit = static_cast<Qt::Key>(Qt::Key_0 + n);
    add(QKeySequence(digit), kPvmSourceButtons[n - 1]);
    add(QKeySequence(Qt::SHIFT | digit), kPgmSourceButtons[n - 1]);
  }
  add(QKeySequence(Qt::Key_C), kIdSwCut);
  add(QKeySequence(Qt::Key_A), kIdSwAuto);
  // Fade to black takes the picture off air: a chord, never a stray key.
  add(QKeySequence(Qt::CTRL | Qt::Key_B), kIdSwFtb);
}

void CClass_switcher_dlg::DeliverPendingTbarMessages() {
  QCoreApplication::sendPostedEvents(this, kSliderMovingMessage);
  QCoreApplication::sendPostedEvents(this, kSliderReleasedMessage);
}

void CClass_switcher_dlg::SendSwitcherCommand(uint8_t command, std::span<const uint8_t> params) {
  // The switcher has no serial path: its frames go by UDP in either mode.
  m_link.Command(SwitcherCommandName(command),
                 [command, bytes = std::vector<uint8_t>(params.begin(), params.end())](
                     LinkState& link) { link.SendCommand(command, bytes); });
}

void CClass_switcher_dlg::SendSwitcherFrame(const SwitcherFrame& frame) {
  SendSwitcherCommand(frame.command, frame.Params());
}

void CClass_switcher_dlg::Apply(const SwitcherEffects& fx) {
  m_applying = true;
  for (const ImageChange& change : fx.images) {
    CButtonST* b = Button(change.control_id);
    if (b && b->FaceImageId() != change.image_id) b->SetFaceImageId(change.image_id);
  }
  if (fx.tbar_let_go) m_tbar->CancelDrag();
  if (fx.tbar_position) m_tbar->SetPosition(*fx.tbar_position);
  if (fx.stop_timer_id) {
    const auto it = m_timers.find(fx.stop_timer_id);
    if (it != m_timers.end()) {
      killTimer(it->second);
      m_timers.erase(it);
    }
  }
  if (fx.start_timer_id) {
    // Starting a timer that runs restarts it.
    const auto it = m_timers.find(fx.start_timer_id);
    if (it != m_timers.end()) killTimer(it->second);
    const Qt::TimerType type = fx.start_timer_period_ms < 20 ? Qt::PreciseTimer : Qt::CoarseTimer;
    m_timers[fx.start_timer_id] = startTimer(fx.start_timer_period_ms, type);
  }
  for (const SwitcherFrame& frame : fx.frames) SendSwitcherFrame(frame);
  if (fx.page) CreatePage(*fx.page);
  m_applying = false;
}

void CClass_switcher_dlg::ShowSwitcherPage(int k) {
  SwitcherEffects fx;
  zv::ShowSwitcherPage(m_rules.Data(), k, fx);
  Apply(fx);
}

void CClass_switcher_dlg::CreatePage(int k) {
  if (m_p_cur_page) {
    m_p_cur_page->hide();
    delete m_p_cur_page.data();
    m_p_cur_page = nullptr;
  }
  switch (k) {
    case 0: m_p_cur_page = new CClass_switcher_function(this, *this); break;
    case 1: m_p_cur_page = new CClass_switcher_effect(this, *this); break;
    case 2: m_p_cur_page = new CClass_switcher_chorma(this, *this); break;
    case 3: m_p_cur_page = new CClass_switcher_wd_pip(this, *this); break;
    default: return;
  }
  m_p_cur_page->setGeometry(m_page_rect);
  m_p_cur_page->show();
  m_rules.Data().zv_switcher_page = static_cast<uint8_t>(k);
}

bool CClass_switcher_dlg::event(QEvent* event) {
  // A key struck anywhere in the panel comes here on its way up: its press
  // first as the shortcut override (the shortcut is matched right after),
  // its release as itself unless a control took it.
  if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyRelease) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (event->type() == QEvent::KeyRelease)
      m_key_presses.Release(key->key(), key->timestamp(), key->isAutoRepeat());
    else
      m_key_press_new = m_key_presses.Press(key->key(), key->timestamp(), key->isAutoRepeat());
  }
  if (SliderMessageEvent::IsSliderMessage(event)) {
    const auto* message = static_cast<const SliderMessageEvent*>(event);
    if (message->ControlId() != kIdSwTbar) return true;
    if (event->type() == kSliderMovingMessage)
      Apply(m_rules.TbarMoving(message->Position()));
    else
      Apply(m_rules.TbarReleased(message->Position()));
    return true;
  }
  return CChildDialog::event(event);
}

void CClass_switcher_dlg::showEvent(QShowEvent* event) {
  CChildDialog::showEvent(event);
  // The keys work as soon as the panel shows: it takes the keyboard from
  // whatever had it (the device list, the search button). Taking the focus
  // sends nothing. A window shown again after being minimised keeps its focus.
  if (event->spontaneous()) return;
  const QWidget* focused = QApplication::focusWidget();
  if (!focused || !isAncestorOf(focused)) setFocus(Qt::OtherFocusReason);
}

void CClass_switcher_dlg::timerEvent(QTimerEvent* event) {
  for (const auto& [id, qt_id] : m_timers) {
    if (qt_id != event->timerId()) continue;
    if (!m_applying) Apply(m_rules.TimerStep(id));
    return;
  }
  CChildDialog::timerEvent(event);
}

bool CClass_switcher_dlg::eventFilter(QObject* watched, QEvent* event) {
  // A held navigation key steps the T-bar once per press, like every other
  // key of the panel: its repeats would run a transition on their own.
  if (watched == m_tbar && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (event->type() == QEvent::KeyRelease)
      m_key_presses.Release(key->key(), key->timestamp(), key->isAutoRepeat());
    else if (!m_key_presses.Press(key->key(), key->timestamp(), key->isAutoRepeat()))
      return true;
  }
  // The keyboard focus stays on the T-bar after a click or drag: a key
  // struck next moves the thumb or does nothing, and never presses a button
  // such as FTB that would take the picture off air.
  if (watched == m_tbar && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
    m_tbar->setFocus(Qt::MouseFocusReason);
  return CChildDialog::eventFilter(watched, event);
}

}  // namespace zv
