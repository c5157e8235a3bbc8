// What the six pages of the multiviewer panel share: they are child dialogs
// of the panel host, placed in its page area, reading the record of the
// panel's multiviewer session and invoking the session's actions.
#pragma once

#include <set>

#include <QColor>
#include <QComboBox>
#include <QString>
#include <QStringList>
#include <array>
#include <initializer_list>
#include <string>

#include "controls/child_dialog.h"

namespace zv {

class CClass_16view_dlg;
class MultiviewSession;
struct MultiviewerState;
class ActionArgs;

// The page frame every page places at the same spot.
inline constexpr int kPageFrameX = 5, kPageFrameY = 5, kPageFrameWidth = 480,
                     kPageFrameHeight = 410;

class CMultiviewPage : public CChildDialog {
  Q_OBJECT
 public:
  CMultiviewPage(CClass_16view_dlg* host, int resource, int frame_id);
  ~CMultiviewPage() override;

  // Puts what the record holds into the page's controls, sending nothing;
  // a control the operator is editing keeps what they are doing and shows
  // the record when they leave it.
  virtual void ShowDeviceState() {}
  // As ShowDeviceState, after the record changed; `by_device`: the change
  // came from the device (a reading to follow it), and the controls that
  // moved are marked.
  void ShowChange(bool by_device);

 protected:
  // The host that shows this page, or nullptr when the page stands alone.
  CClass_16view_dlg* Host() const { return m_host; }
  // The multiviewer's record, kept by its session; nullptr when the page
  // stands alone. Pages write only what sends nothing (the window they
  // work on, the colour targets); everything else goes through Act.
  MultiviewerState* Glo() const;
  // The panel's session; valid whenever Glo() is.
  MultiviewSession* Session() const;
  // Runs an action of the session (nothing when the page stands alone).
  void Act(const std::string& action, const ActionArgs& args) const;
  QComboBox* Combo(int id) const;
  // Fills a list with `items` and selects `selection` (none when it is not
  // an entry). Selecting by code sends nothing: handlers hang on activated().
  void FillList(int id, const QStringList& items, int selection);
  // Whether the page may put a value into `control` now; when the operator
  // is editing it, the page shows the record again when they leave it.
  bool MayShowIn(QWidget* control);
  // Connects a list's user choice to a handler taking the chosen entry.
  template <typename F>
  void OnChoice(int id, F handler) {
    connect(Combo(id), &QComboBox::activated, this, handler);
  }
  // Handlers two pages share: the video format (a list position) and the
  // resolution overlays on or off.
  void SetVideoFormat(int selection) const;
  void SetResolutionOverlay(int selection) const;
  // The colours of a text button: `back` behind the caption in every state,
  // `text` for the caption.
  void SetTextButtonColours(int id, const QColor& back, const QColor& text) const;

 private:
  CClass_16view_dlg* m_host;
  // The session outlives the page; kept to unsubscribe while the host is
  // already going.
  MultiviewSession* m_session = nullptr;
  int m_changed_token = 0;
  // Controls held back while the operator edits them.
  std::set<QWidget*> m_held;
};

// "OFF", "ON" and friends.
QStringList OffOnItems();
// "CH_1" to "CH_n".
QStringList ChannelItems(int count);
QStringList NameItems(std::initializer_list<const char*> names);
template <size_t N>
QStringList NameItems(const std::array<const char*, N>& names) {
  QStringList items;
  for (const char* n : names) items << QString::fromUtf8(n);
  return items;
}

}  // namespace zv

