// The device families, one line each. Every layer that must name each
// family (the registry, the window's panels, the dialog templates, the
// virtual devices) expands this list with names it derives from the
// family's: for `Switcher`, `FamilyKind::kSwitcher`, `SwitcherFamily()` (its
// row of the registry, in its folder), `MakeSwitcherPanel`,
// `SwitcherDialogTemplates()` and `MakeSwitcherDevice`. A new family is its
// folder, its line here and its sources in the CMake lists.
#pragma once

#define ZV_FAMILIES(F) \
  F(FourChannel)       \
  F(Matrix)            \
  F(Multiviewer)       \
  F(Switcher)
