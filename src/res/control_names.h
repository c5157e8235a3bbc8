// What each control of a dialog template is called for people who cannot
// see it: the accessible name (and tooltip) the template builder gives it.
#pragma once

#include <string>

#include "res/dialog_templates.h"

namespace zv {

// True for the kinds a person operates (buttons, lists, fields, trackbars).
bool IsInteractiveControl(ControlKind kind);

// The name of control `c` of `dialog`, saying what it does ("Program 3",
// "Fade to black", "Window 5 source"). Taken, in this order, from the table
// of names, from the caption (with the bus of the frame around it), from the
// picture on its face, or from the label to its left or above it. Empty when
// none of them says anything.
std::string AccessibleControlName(const DialogTemplate& dialog, const ControlTemplate& c);

}  // namespace zv
