#pragma once

#include <QWidget>

#include "res/dialog_templates.h"

namespace zv {

// Creates the controls of a template as children of `dialog`, each named by
// its id, placed at its client position and shown or hidden as the template
// says.
void BuildTemplateControls(QWidget* dialog, const DialogTemplate& dialog_template);

// The dialog's own control with this id, or nullptr.
QWidget* FindItem(const QWidget* dialog, int id);

// Object name of a control id.
QString ItemName(int id);

}  // namespace zv
