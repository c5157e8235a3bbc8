#pragma once

#include <QWidget>

#include "res/dialog_templates.h"

namespace zv {

// Creates the controls of a template as children of `dialog`, each named by
// its id, placed at its client position and shown or hidden as the template
// says.
void BuildTemplateControls(QWidget* dialog, const DialogTemplate& dialog_template);

// Orders Tab through the dialog's own controls group by group: a group is
// the controls inside one frame of the template (a group box, shown or
// not; the innermost one around a control's centre), and the controls in
// no frame make one more group. Groups go column by column from the left
// (frames whose left edges lie within 24 pixels share a column), each
// column from the top; inside a group, by rows from the top, each row from
// the left. Takes the controls where they stand now, including those a
// panel added itself (the T-bar); call it again after adding one. Child
// dialogs (pages) keep their place at the end.
void SetGroupTabOrder(QWidget* dialog, const DialogTemplate& dialog_template);

// The dialog's own control with this id, or nullptr.
QWidget* FindItem(const QWidget* dialog, int id);

// What a screen reader reads as the state of a lamp that shows skin
// picture `image_id`: "present" or "absent" for a signal lamp, "connected"
// or "not connected" for a link lamp; nothing for other pictures. Given to
// the lamp as its accessible description.
void DescribeLamp(QWidget* lamp, int image_id);

// Object name of a control id.
QString ItemName(int id);

}  // namespace zv
