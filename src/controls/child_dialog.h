#pragma once

#include <QLabel>
#include <QWidget>

#include "res/dialog_templates.h"

namespace zv {

// Colours of the controls drawn on the dark skin. Edits, lists and combo
// boxes are RGB(60,180,255) on RGB(58,58,58) everywhere in the program (grey
// text when disabled); a dialog's choice colours its own captions.
enum class ControlColours {
  kDarkFields,      // captions as the fields
  kDarkFieldsGreyStatics,  // captions black on RGB(102,102,102)
  kDefault,         // captions in the toolkit's colours (in a grey-statics dialog: grey statics)
};
void ApplyControlColours(QWidget* dialog, ControlColours colours);
// Shows a caption's text in the error colour (red), or back in its dialog's.
inline constexpr const char* kErrorTextProperty = "zvErrorText";
void ShowErrorText(QLabel* label, bool error);
// A top-level window of the program's own (a panel window, the device
// list) on the main window's dark grey, with light text.
void FillWithDarkBackground(QWidget* window);

// The base of every device panel and page: a child dialog built from its
// template, with the template's background bitmap stretched over the client
// area. Enter and Escape never close it. Destroying it frees it; whoever
// replaces it only hides and deletes it.
class CChildDialog : public QWidget {
  Q_OBJECT
 public:
  CChildDialog(QWidget* parent, int resource,
               ControlColours colours = ControlColours::kDarkFields);

  int Resource() const { return m_resource; }
  int BackgroundId() const { return m_background_id; }
  // The control with this id, as the program's texts name it.
  QWidget* Item(int id) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int m_resource;
  int m_background_id = 0;
};

// True for the keys that would close a dialog.
bool IsDialogClosingKey(int key);

}  // namespace zv
