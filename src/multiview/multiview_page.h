// What the six pages of the multiviewer panel share: they are child dialogs
// of the panel host, placed in its page area, working on the main window's
// multiviewer state and asking the host to recompute and repaint the preview.
#pragma once

#include <QColor>
#include <QComboBox>
#include <QString>
#include <QStringList>
#include <array>
#include <initializer_list>

#include "controls/child_dialog.h"

namespace zv {

class CClass_16view_dlg;
class MultiviewerDoor;
class MultiviewerState;

// The page frame every page places at the same spot.
inline constexpr int kPageFrameX = 5, kPageFrameY = 5, kPageFrameWidth = 480,
                     kPageFrameHeight = 410;

class CMultiviewPage : public CChildDialog {
  Q_OBJECT
 public:
  CMultiviewPage(CClass_16view_dlg* host, int resource, int frame_id);

 protected:
  // The host that shows this page, or nullptr when the page stands alone.
  CClass_16view_dlg* Host() const { return m_host; }
  // The multiviewer's record (kept by the main window for the whole run);
  // nullptr when the page stands alone.
  MultiviewerState* Glo() const;
  // The panel's door to its device; valid whenever Glo() is.
  MultiviewerDoor* Door() const;
  QComboBox* Combo(int id) const;
  // Fills a list with `items` and selects `selection` (none when it is not
  // an entry). Selecting by code sends nothing: handlers hang on activated().
  void FillList(int id, const QStringList& items, int selection) const;
  // Connects a list's user choice to a handler taking the chosen entry.
  template <typename F>
  void OnChoice(int id, F handler) {
    connect(Combo(id), &QComboBox::activated, this, handler);
  }
  // Repaints the host's preview from the state's recompute operations.
  void RecomputeWindows() const;
  void RecomputeAudioMeters() const;
  void RecomputeLabels() const;
  void RecomputeOverlays() const;
  void RecomputeAll() const;  // windows, audio meters, overlays, labels

  // Handlers two pages share. The video format: stores the list position
  // and sends its device code.
  void SetVideoFormat(int selection) const;
  // The resolution overlays on or off: recomputed when the frame went out,
  // shown or hidden in the preview either way.
  void SetResolutionOverlay(int selection) const;
  // The colours of a text button: `back` behind the caption in every state,
  // `text` for the caption.
  void SetTextButtonColours(int id, const QColor& back, const QColor& text) const;

 private:
  CClass_16view_dlg* m_host;
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

