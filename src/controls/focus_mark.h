// The mark that shows which control has the keyboard focus. The skinned
// buttons draw nothing of their own for it, so a ring in a colour the skin
// never uses is laid over the focused control, whatever its kind: a person
// working with Tab and Space sees what Space will press.
#pragma once

#include <QColor>

class QWidget;

namespace zv {

// Bright magenta: no face of the skin uses it, and it stands out on the dark
// panels as on the red, green, amber, blue and white faces.
inline constexpr QRgb kFocusMarkColour = 0xFFFF2EE6;
// Width of the ring in device-independent pixels (twice as many device
// pixels on a screen of density 2), with a dark line inside it so that it
// also stands out on a light face.
inline constexpr int kFocusMarkWidth = 2;
// How far the ring reaches out beyond the control, where the parent has room.
inline constexpr int kFocusMarkOutset = 3;

// From now on, the control that takes the keyboard focus (by Tab, a click
// or the program) shows the ring until it loses the focus. Once per
// application; later calls do nothing.
void InstallFocusMarks();

// The ring's widget while it is shown around `control`, else nullptr.
QWidget* FocusMarkAround(const QWidget* control);

}  // namespace zv
