#include "app/tally_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "app/desktop_tally.h"
#include "controls/button_st.h"
#include "controls/group_box.h"
#include "multiview/multiview_state.h"
#include "res/dialog_templates.h"
#include "switcher/switcher_state.h"

namespace zv {
namespace {

constexpr int kSwitcherPanelResource = 237;
constexpr int kNameCharacters = 16;
constexpr int kLineHeight = 26;
// Where the columns start in a row, and their widths.
constexpr int kSourceX = 4, kSourceWidth = 90;
constexpr int kInputX = 100, kInputWidth = 80;
constexpr int kNameX = 188, kNameWidth = 160;
constexpr int kRemoveX = 354, kRemoveWidth = 70;
constexpr int kScrollX = 10, kScrollY = 64;

// A list the wheel leaves alone while it is closed: turning the wheel
// scrolls the table, it does not choose a source.
class RowList : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }
};

// A text button in the colours of the settings page's own (Set IP).
CButtonST* TextButton(const QString& text, QWidget* parent) {
  auto* button = new CButtonST(parent);
  button->setText(text);
  button->SetBorderShown(false);
  button->SetFlatLook(true);
  for (auto slot : {CButtonST::FaceColor::kBackgroundHot, CButtonST::FaceColor::kBackgroundOut,
                    CButtonST::FaceColor::kBackgroundFocus})
    button->SetFaceColor(slot, QColor(64, 64, 64));
  for (auto slot : {CButtonST::FaceColor::kTextHot, CButtonST::FaceColor::kTextOut})
    button->SetFaceColor(slot, QColor(160, 160, 160));
  return button;
}

QString SourceLine(int source) {
  const QString name = SwitcherSourceName(source);
  return name.isEmpty() ? QString::number(source) : name;
}

}  // namespace

QString SwitcherSourceName(int source) {
  if (source < 1 || source > kSwitcherSourceCount) return {};
  if (const DialogTemplate* t = FindDialogTemplate(kSwitcherPanelResource))
    for (const ControlTemplate& c : t->controls)
      if (c.id == kPgmSourceButtons[static_cast<size_t>(source - 1)]) return QString::fromUtf8(c.caption).trimmed();
  return QString::number(source);
}

TallyTableGroup::TallyTableGroup(QWidget* parent, DesktopTally& tally, Say say)
    : QWidget(parent), m_tally(tally), m_say(std::move(say)) {
  setObjectName(QStringLiteral("tally_group"));
  resize(466, 156);
  // The frame lies below the controls it groups (it takes no clicks).
  auto* frame = new CMyGroupBox(tr("Tally"), this);
  frame->setGeometry(0, 0, 466, 156);

  m_switcher_box = new QCheckBox(tr("Tally from the production switcher"), this);
  m_switcher_box->setObjectName(QStringLiteral("tally_switcher"));
  m_switcher_box->setAccessibleName(tr("Tally from the production switcher"));
  m_switcher_box->setToolTip(tr("The production switcher makes the windows showing its programme source red "
                                "and its preview source green"));
  // As wide as its text: a click on the box or its text turns it.
  m_switcher_box->setGeometry(14, 20, m_switcher_box->sizeHint().width(), 24);
  connect(m_switcher_box, &QCheckBox::clicked, this, [this](bool on) {
    const DesktopTally::Outcome outcome = m_tally.SetSwitcherOn(on);
    if (!outcome.text.empty()) m_say(outcome.text, true);
    else m_say(on ? "Tally from the production switcher: on" : "Tally from the production switcher: off", false);
  });

  m_add = TextButton(tr("Add row"), this);
  m_add->setObjectName(QStringLiteral("tally_add"));
  m_add->setAccessibleName(tr("Tally add row"));
  m_add->setToolTip(tr("A row for the next source that has none"));
  m_add->setGeometry(370, 20, 82, 24);
  connect(m_add, &QAbstractButton::clicked, this, &TallyTableGroup::AddRow);

  const std::pair<QString, int> heads[] = {
      {tr("Source"), kSourceX}, {tr("Input"), kInputX}, {tr("Name for TSL"), kNameX}};
  for (const auto& [text, x] : heads) {
    auto* head = new QLabel(text, this);
    head->setGeometry(kScrollX + x, 46, 150, 16);
  }

  m_scroll = new QScrollArea(this);
  m_scroll->setObjectName(QStringLiteral("tally_rows"));
  m_scroll->setGeometry(kScrollX, kScrollY, 446, 80);
  m_scroll->setFrameShape(QFrame::NoFrame);
  m_scroll->setFocusPolicy(Qt::NoFocus);
  m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_scroll->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
  m_scroll->setWidgetResizable(true);
  m_scroll->viewport()->setAutoFillBackground(false);
  m_lines = new QWidget;
  m_lines->setAutoFillBackground(false);
  m_lines_layout = new QVBoxLayout(m_lines);
  m_lines_layout->setContentsMargins(0, 0, 0, 0);
  m_lines_layout->setSpacing(0);
  m_lines_layout->addStretch(1);
  m_scroll->setWidget(m_lines);
  // The page's background shows through (setWidget fills it otherwise).
  m_lines->setAutoFillBackground(false);

  m_token = m_tally.Subscribe([this] { ShowTally(); });
  ShowTally();
}

TallyTableGroup::~TallyTableGroup() { m_tally.Unsubscribe(m_token); }

QAbstractButton* TallyTableGroup::AddButton() const { return m_add; }

QAbstractButton* TallyTableGroup::RemoveButton(int row) const { return m_rows.at(static_cast<size_t>(row)).remove; }

void TallyTableGroup::AddRowWidgets() {
  const int index = static_cast<int>(m_rows.size());
  Row row;
  row.line = new QWidget(m_lines);
  row.line->setFixedHeight(kLineHeight);
  row.source = new RowList(row.line);
  for (int s = 1; s <= kSwitcherSourceCount; ++s) row.source->addItem(SourceLine(s));
  row.source->setGeometry(kSourceX, 1, kSourceWidth, kLineHeight - 2);
  row.input = new RowList(row.line);
  for (int i = 1; i <= kMultiviewWindowCount; ++i) row.input->addItem(QStringLiteral("SDI %1").arg(i));
  row.input->setGeometry(kInputX, 1, kInputWidth, kLineHeight - 2);
  row.name = new QLineEdit(row.line);
  row.name->setMaxLength(kNameCharacters);
  row.name->setGeometry(kNameX, 1, kNameWidth, kLineHeight - 2);
  row.remove = TextButton(tr("Remove"), row.line);
  row.remove->setGeometry(kRemoveX, 1, kRemoveWidth, kLineHeight - 2);
  const QString n = QString::number(index + 1);
  row.source->setAccessibleName(tr("Tally row %1 switcher source").arg(n));
  row.input->setAccessibleName(tr("Tally row %1 multiviewer input").arg(n));
  row.name->setAccessibleName(tr("Tally row %1 name").arg(n));
  row.remove->setAccessibleName(tr("Tally remove row %1").arg(n));
  row.name->setToolTip(tr("The name TSL out gives the source (16 characters at most)"));
  connect(row.source, &QComboBox::activated, this, [this, index](int i) { ChooseSource(index, i + 1); });
  connect(row.input, &QComboBox::activated, this, [this, index](int i) { ChooseInput(index, i + 1); });
  connect(row.name, &QLineEdit::editingFinished, this, [this, index] { TakeName(index); });
  connect(row.remove, &QAbstractButton::clicked, this, [this, index] { RemoveRow(index); });
  m_lines_layout->insertWidget(index, row.line);
  row.line->show();
  m_rows.push_back(row);
}

void TallyTableGroup::ShowTally() {
  const std::vector<TallySourceRow>& rows = m_tally.Rows();
  while (m_rows.size() < rows.size()) AddRowWidgets();
  while (m_rows.size() > rows.size()) {
    // Later: its Remove button may be the one being clicked now.
    QWidget* line = m_rows.back().line;
    m_lines_layout->removeWidget(line);
    line->hide();
    line->deleteLater();
    m_rows.pop_back();
  }
  for (size_t r = 0; r < rows.size(); ++r) {
    Row& row = m_rows[r];
    const QSignalBlocker block_source(row.source), block_input(row.input);
    row.source->setCurrentIndex(rows[r].source - 1);
    row.input->setCurrentIndex(rows[r].input - 1);
    row.name->setPlaceholderText(QString::fromStdString(TallyMap{{}, {rows[r]}}.NameOf(rows[r].source)));
    // A name being typed stays; it is taken when the operator leaves it.
    if (!(row.name->hasFocus() && row.name->isModified())) {
      row.name->setText(QString::fromStdString(rows[r].name));
      row.name->setModified(false);
    }
  }
  m_switcher_box->setChecked(m_tally.SwitcherOn());
  m_add->setEnabled(static_cast<int>(rows.size()) < kSwitcherSourceCount);
  OrderTab();
}

void TallyTableGroup::OrderTab() {
  QWidget* previous = m_switcher_box;
  for (const Row& row : m_rows)
    for (QWidget* w : {static_cast<QWidget*>(row.source), static_cast<QWidget*>(row.input),
                       static_cast<QWidget*>(row.name), static_cast<QWidget*>(row.remove)}) {
      setTabOrder(previous, w);
      previous = w;
    }
  setTabOrder(previous, m_add);
}

void TallyTableGroup::Take(const std::vector<TallySourceRow>& rows) {
  const DesktopTally::Outcome outcome = m_tally.SetRows(rows);
  if (!outcome.taken) ShowTally();  // back to the rows as they are
  if (!outcome.text.empty()) {
    m_say(outcome.text, true);
  } else {
    const std::string where = m_tally.KeptIn();
    m_say("Tally: " + std::to_string(rows.size()) + (rows.size() == 1 ? " source" : " sources") + " mapped" +
              (where.empty() ? std::string() : ", kept in " + where),
          false);
  }
}

void TallyTableGroup::ChooseSource(int row, int source) {
  std::vector<TallySourceRow> rows = m_tally.Rows();
  if (row >= static_cast<int>(rows.size()) || rows[static_cast<size_t>(row)].source == source) return;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (static_cast<int>(r) != row && rows[r].source == source) {
      ShowTally();
      m_say("Tally: switcher source " + SourceLine(source).toStdString() + " has row " + std::to_string(r + 1) +
                " already; a source has one row",
            true);
      return;
    }
  }
  rows[static_cast<size_t>(row)].source = source;
  Take(rows);
}

void TallyTableGroup::ChooseInput(int row, int input) {
  std::vector<TallySourceRow> rows = m_tally.Rows();
  if (row >= static_cast<int>(rows.size()) || rows[static_cast<size_t>(row)].input == input) return;
  rows[static_cast<size_t>(row)].input = input;
  Take(rows);
}

void TallyTableGroup::TakeName(int row) {
  std::vector<TallySourceRow> rows = m_tally.Rows();
  if (row >= static_cast<int>(rows.size())) return;
  QLineEdit* field = m_rows[static_cast<size_t>(row)].name;
  field->setModified(false);
  const std::string name = field->text().toStdString();
  if (rows[static_cast<size_t>(row)].name == name) return;
  rows[static_cast<size_t>(row)].name = name;
  Take(rows);
}

void TallyTableGroup::AddRow() {
  std::vector<TallySourceRow> rows = m_tally.Rows();
  for (int s = 1; s <= kSwitcherSourceCount; ++s) {
    if (std::any_of(rows.begin(), rows.end(), [s](const TallySourceRow& r) { return r.source == s; })) continue;
    rows.push_back({s, std::min(s, kMultiviewWindowCount), ""});
    Take(rows);
    if (m_rows.size() == rows.size()) {
      // The new row, in view, takes the keyboard.
      QComboBox* source = m_rows.back().source;
      m_lines->adjustSize();
      m_scroll->ensureWidgetVisible(m_rows.back().line, 0, 0);
      source->setFocus(Qt::TabFocusReason);
    }
    return;
  }
}

void TallyTableGroup::RemoveRow(int row) {
  std::vector<TallySourceRow> rows = m_tally.Rows();
  if (row >= static_cast<int>(rows.size())) return;
  rows.erase(rows.begin() + row);
  Take(rows);
  // The keyboard stays in the table: on the row that took this one's place.
  if (row < RowCount()) m_rows[static_cast<size_t>(row)].remove->setFocus(Qt::TabFocusReason);
  else if (RowCount() > 0) m_rows.back().remove->setFocus(Qt::TabFocusReason);
  else m_add->setFocus(Qt::TabFocusReason);
}

}  // namespace zv
