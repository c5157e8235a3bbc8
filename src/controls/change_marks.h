// Marks what changed at the device. While a panel follows its device, the
// controls move to what the device says; the ones that now show another
// value than a moment before (someone at the device's front panel, or
// another program, changed it) get a coloured outline for a few seconds,
// so the operator sees what moved without them.
//
// And what the operator is editing is never moved under their hands: a list
// whose entries are open, a text field the cursor is in. A view asks
// BeingEdited() before it puts a value into a control, and shows the value
// when the operator leaves the control (WhenLeft).
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>

namespace zv {

inline constexpr int kChangeMarkMs = 4000;
inline constexpr const char* kChangeMarkName = "change_mark";

class ChangeMarks {
 public:
  // Notes what every control under `root` shows now.
  explicit ChangeMarks(QWidget* root);
  // Marks each control that shows something else now, for `duration_ms`;
  // returns how many it marked.
  int MarkChanged(int duration_ms = kChangeMarkMs) const;

 private:
  QWidget* m_root;
  std::map<QWidget*, QString> m_before;
};

// Puts a mark around `control` (one at a time: a new mark replaces the old).
void MarkChangedControl(QWidget* control, int duration_ms = kChangeMarkMs);
// The mark around `control` now, or null.
QWidget* ChangeMarkOf(const QWidget* control);

// A list whose entries are open, or a text field the operator is in (it has
// the focus).
bool BeingEdited(const QWidget* control);
// Runs `then` once, when the operator leaves `control` (its list closes,
// it loses the focus); `owner` going first cancels it.
void WhenLeft(QWidget* control, QObject* owner, std::function<void()> then);

}  // namespace zv
