#include "switcher/switcher_function_page.h"

#include <QComboBox>

#include "controls/button_st.h"

namespace zv {

CClass_switcher_function::CClass_switcher_function(QWidget* parent, SwitcherPageHost& host)
    : CChildDialog(parent, kResource), m_host(host) {
  // The stored pattern is the one marked, so pressing it is rightly ignored.
  const int stored = m_host.SwitcherRecord().zv_switcher_wipe_pattern;
  for (int k = 0; k < static_cast<int>(kWipePatternButtons.size()); ++k) {
    const ImagePair& pattern = kWipePatternButtons[static_cast<size_t>(k)];
    auto* button = qobject_cast<CButtonST*>(Item(pattern.control_id));
    if (!button) continue;
    button->SetFaceImageId(k == stored ? pattern.selected : pattern.normal);
    connect(button, &QAbstractButton::clicked, this, [this, k] {
      const SwitcherEffects fx = SelectWipePattern(m_host.SwitcherRecord(), k);
      ApplyImages(fx);
      for (const SwitcherFrame& frame : fx.frames) m_host.SendSwitcherFrame(frame);
    });
  }
  struct HiddenList {
    int id;
    uint8_t command;
  };
  static constexpr HiddenList kHiddenLists[] = {
      {1164, kSwitcherDipSource}, {1039, kSwitcherWipeSource}, {1165, kSwitcherWipePattern}};
  for (const HiddenList& list : kHiddenLists)
    if (auto* combo = qobject_cast<QComboBox*>(Item(list.id)))
      connect(combo, &QComboBox::activated, this,
              [this, command = list.command](int index) { OnHiddenList(command, index); });
}

void CClass_switcher_function::ApplyImages(const SwitcherEffects& fx) {
  for (const ImageChange& change : fx.images)
    if (auto* button = qobject_cast<CButtonST*>(Item(change.control_id)))
      button->SetFaceImageId(change.image_id);
}

void CClass_switcher_function::OnHiddenList(uint8_t command, int index) {
  SwitcherPageData& d = m_host.SwitcherRecord();
  const int old_pattern = d.zv_switcher_wipe_pattern;
  const auto frame = StoreListChoice(d, command, index);
  if (!frame) return;
  if (command == kSwitcherWipePattern && old_pattern != index) {
    // The grid follows a pattern chosen from the list.
    SwitcherEffects fx;
    if (old_pattern < static_cast<int>(kWipePatternButtons.size()))
      fx.Show(kWipePatternButtons[static_cast<size_t>(old_pattern)].control_id,
              kWipePatternButtons[static_cast<size_t>(old_pattern)].normal);
    fx.Show(kWipePatternButtons[static_cast<size_t>(index)].control_id,
            kWipePatternButtons[static_cast<size_t>(index)].selected);
    ApplyImages(fx);
  }
  m_host.SendSwitcherFrame(*frame);
}

}  // namespace zv
