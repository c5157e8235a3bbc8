// The device list for a whole facility: every device the searches found,
// narrowed by a filter field (any part of the line: name, address, family)
// and a family list, each line marked online or offline with the time it
// was last heard. Enter (or a click) chooses the device in the main window;
// a double click, Ctrl+Enter or the context menu's "Open in its own window"
// opens its panel in a window of its own.
#pragma once

#include <QAbstractItemView>
#include <QDialog>
#include <QModelIndex>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QSortFilterProxyModel;
class QStandardItemModel;

namespace zv {

struct DeviceRow {
  std::string line;     // "MV16_10.0.0.2"
  std::string address;  // "10.0.0.2"
  std::string family;   // "multiviewer"; empty for a type no family has
  bool online = true;
  int64_t last_heard_ms = 0;  // wall clock; 0: never
};

class DeviceBrowser : public QDialog {
  Q_OBJECT
 public:
  explicit DeviceBrowser(QWidget* owner);
  ~DeviceBrowser() override;

  // The rows, in the device list's order (row i is line i).
  void SetRows(const std::vector<DeviceRow>& rows);
  // Marks the row of `address` online or offline.
  void SetOnline(const std::string& address, bool online, int64_t last_heard_ms);
  // How many rows the filters leave shown.
  int ShownCount() const;
  QLineEdit* FilterField() const { return m_filter; }
  QComboBox* FamilyList() const { return m_family; }
  QListView* List() const { return m_list; }

  // The device list line `index` is to be chosen, or opened in a window.
  std::function<void(int index)> on_choose;
  std::function<void(int index)> on_open_window;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowCount();

  QLineEdit* m_filter = nullptr;
  QComboBox* m_family = nullptr;
  QListView* m_list = nullptr;
  QLabel* m_count = nullptr;
  QStandardItemModel* m_model = nullptr;
  QSortFilterProxyModel* m_proxy = nullptr;
};

// Ctrl+Enter, a double click and a context menu entry "Open in its own
// window" on `view`'s lines call `open` with the source row.
void OfferOpenInWindow(QAbstractItemView* view, QObject* owner, std::function<int(const QModelIndex&)> row_of,
                       std::function<void(int row)> open);

}  // namespace zv
