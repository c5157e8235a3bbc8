#pragma once

namespace zv {

// Routes the program's notices to a modal message box with English buttons
// and no owner window.
void InstallQtMessageBox();

}  // namespace zv
