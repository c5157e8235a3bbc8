#include "switcher/switcher_panel.h"

#include "controls/panel_place.h"

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
                                         SwitcherSession& session)
    : CChildDialog(parent, kResource), m_link(link), m_session(session) {
  // The panel itself can hold the keyboard (a click on its background
  // gives it back), so that its keys work without a control focused.
  setFocusPolicy(Qt::ClickFocus);
  SetUpTbar();
  ConnectButtons();
  SetUpShortcuts();
  m_page_rect = Item(kIdSwPageArea)->geometry();
  // The panel shows the kept record, and from then on what the session
  // changes, whichever surface changed it.
  const SwitcherEffects opening = m_session.OpenView();
  m_effects_token = m_session.SubscribeEffects([this](const SwitcherEffects& fx) { Show(fx); });
  Show(opening);
}

CClass_switcher_dlg::~CClass_switcher_dlg() {
  // A transition under way goes on in the session without its view.
  m_session.UnsubscribeEffects(m_effects_token);
}

ActionOutcome CClass_switcher_dlg::Act(const std::string& action, const ActionArgs& args) {
  return m_session.InvokeFromView(action, args);
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
                            [this](int position) { return TbarTravel(m_session.Data(), position); });
  m_tbar->show();
  // Tab reaches the T-bar with the rest of its group.
  SetGroupTabOrder(this, *FindDialogTemplate(kResource));
}

CButtonST* CClass_switcher_dlg::Button(int id) const { return qobject_cast<CButtonST*>(Item(id)); }

void CClass_switcher_dlg::OnClicked(int id, const char* action) {
  if (auto* b = qobject_cast<QAbstractButton*>(Item(id)))
    connect(b, &QAbstractButton::clicked, this, [this, action] { Act(action); });
}

void CClass_switcher_dlg::ConnectButtons() {
  auto on_click = [this](int id, auto handler) {
    if (auto* b = qobject_cast<QAbstractButton*>(Item(id)))
      connect(b, &QAbstractButton::clicked, this, handler);
  };
  for (int n = 1; n <= kSwitcherSourceCount; ++n) {
    on_click(kPgmSourceButtons[n - 1], [this, n] { Act("switcher.program", {{"source", n}}); });
    on_click(kPvmSourceButtons[n - 1], [this, n] { Act("switcher.preview", {{"source", n}}); });
  }
  on_click(kIdSwCut, [this] {
    DeliverPendingTbarMessages();
    Act("switcher.cut");
  });
  OnClicked(kIdSwFtb, "switcher.ftb");
  OnClicked(kIdSwOnAir, "switcher.on_air");
  OnClicked(kIdSwOnAir2, "switcher.on_air2");
  OnClicked(kIdSwBkgd, "switcher.bkgd");
  OnClicked(kIdSwPip, "switcher.pip");
  OnClicked(kIdSwKey1, "switcher.key1");
  OnClicked(kIdSwKey2, "switcher.key2");
  static constexpr const char* kTypes[] = {"mix", "dip", "wipe"};
  for (int t = 1; t <= 3; ++t)
    on_click(kTransitionTypeImages[t - 1].control_id,
             [this, t] { Act("switcher.transition", {{"type", std::string(kTypes[t - 1])}}); });
  on_click(kIdSwAuto, [this] {
    // A drag still posted reaches the session first: the hand that holds
    // the T-bar keeps it, and Auto does nothing then.
    DeliverPendingTbarMessages();
    Act("switcher.auto");
  });
  static constexpr const char* kRates[] = {"r1", "r2", "r3"};
  for (int k = 0; k < 3; ++k)
    on_click(kRateImages[k].control_id, [this, k] { Act("switcher.rate", {{"rate", std::string(kRates[k])}}); });
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

void CClass_switcher_dlg::Show(const SwitcherEffects& fx) {
  for (const ImageChange& change : fx.images) {
    // A face of the panel, or of the page shown (the wipe patterns).
    CButtonST* b = !change.on_page ? Button(change.control_id)
                   : m_p_cur_page   ? qobject_cast<CButtonST*>(m_p_cur_page->Item(change.control_id))
                                    : nullptr;
    if (b && b->FaceImageId() != change.image_id) b->SetFaceImageId(change.image_id);
  }
  if (fx.tbar_let_go) m_tbar->CancelDrag();
  if (fx.tbar_position) m_tbar->SetPosition(*fx.tbar_position);
  if (fx.page) CreatePage(*fx.page);
}

void CClass_switcher_dlg::ShowSwitcherPage(int k) {
  // Which page the panels show is the record's, not the device's: nothing
  // is sent.
  if (k >= 0 && k < 4) m_session.Page(k);
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
    // The hand holds the T-bar while it moves it, and lets go on release.
    const int travel = m_session.TravelOfPosition(message->Position());
    Act("switcher.tbar", {{"travel", travel},
                          {"hand", std::string(event->type() == kSliderMovingMessage ? "hold" : "release")}});
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

CChildDialog* MakeSwitcherPanel(const PanelPlace& place) {
  return new CClass_switcher_dlg(place.parent, place.link, static_cast<SwitcherSession&>(place.session));
}

}  // namespace zv
