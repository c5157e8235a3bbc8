// The "Tally" group of the multiviewer panel's settings page: a small table
// of which production-switcher source comes in on which multiviewer input,
// and the name TSL out gives it, one row per source; buttons that add and
// remove rows; and the box that turns the switcher's lights on the
// multiviewers' windows on and off. What is chosen goes to the program's
// tally at once (DesktopTally), which keeps it; what it refuses is said in
// the status strip and the table shows the rows as they are.
//
// Sources show as the switcher panel names them (1 to 10, BLK, MP1),
// inputs as the multiviewer panel does (CH_1 to CH_16); a name takes 16
// characters at most. Every control is named for screen readers ("Tally
// row 2 input") and Tab goes through the group in reading order.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "tally/tally_map.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace zv {

class DesktopTally;

// The switcher panel's name of source 1 to 12 ("3", "BLK", "MP1").
QString SwitcherSourceName(int source);

class TallyTableGroup : public QWidget {
  Q_OBJECT
 public:
  // `say` puts a line in the status strip (error: in red).
  using Say = std::function<void(const std::string& text, bool error)>;
  TallyTableGroup(QWidget* parent, DesktopTally& tally, Say say);
  ~TallyTableGroup() override;

  QCheckBox* SwitcherBox() const { return m_switcher_box; }
  QAbstractButton* AddButton() const;
  int RowCount() const { return static_cast<int>(m_rows.size()); }
  QComboBox* SourceList(int row) const { return m_rows.at(static_cast<size_t>(row)).source; }
  QComboBox* InputList(int row) const { return m_rows.at(static_cast<size_t>(row)).input; }
  QLineEdit* NameField(int row) const { return m_rows.at(static_cast<size_t>(row)).name; }
  QAbstractButton* RemoveButton(int row) const;

 private:
  struct Row {
    QWidget* line = nullptr;
    QComboBox* source = nullptr;
    QComboBox* input = nullptr;
    QLineEdit* name = nullptr;
    QAbstractButton* remove = nullptr;
  };
  void AddRowWidgets();
  // Shows the tally's rows and box; a name being typed stays as it is.
  void ShowTally();
  void Take(const std::vector<TallySourceRow>& rows);
  void ChooseSource(int row, int source);
  void ChooseInput(int row, int input);
  void TakeName(int row);
  void AddRow();
  void RemoveRow(int row);
  // Tab: the box, each row from the left, then Add.
  void OrderTab();

  DesktopTally& m_tally;
  Say m_say;
  int m_token = 0;
  QCheckBox* m_switcher_box = nullptr;
  QAbstractButton* m_add = nullptr;
  QScrollArea* m_scroll = nullptr;
  QWidget* m_lines = nullptr;
  QVBoxLayout* m_lines_layout = nullptr;
  std::vector<Row> m_rows;
};

}  // namespace zv
