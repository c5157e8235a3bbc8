#include "app/device_browser.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "controls/child_dialog.h"
#include "registry/families.h"

namespace zv {
namespace {

enum Role : int {
  kRowRole = Qt::UserRole + 1,  // the device list's line number
  kAddressRole,
  kFamilyRole,
  kOnlineRole,
};

// A filled dot: green for a device that answers, grey for one that does not.
QIcon PresenceIcon(bool online) {
  static const QIcon on = [] {
    QPixmap p(12, 12);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 200, 80));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(1, 1, 10, 10);
    return QIcon(p);
  }();
  static const QIcon off = [] {
    QPixmap p(12, 12);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(150, 150, 150), 2));
    painter.drawEllipse(2, 2, 8, 8);
    return QIcon(p);
  }();
  return online ? on : off;
}

QString HeardText(bool online, int64_t last_heard_ms) {
  const QString when = last_heard_ms > 0
                           ? QDateTime::fromMSecsSinceEpoch(last_heard_ms).toString(QStringLiteral("HH:mm:ss"))
                           : QObject::tr("never");
  return (online ? QObject::tr("Online, last heard ") : QObject::tr("Offline, last heard ")) + when;
}

void ShowPresence(QStandardItem* item, bool online, int64_t last_heard_ms) {
  item->setData(online, kOnlineRole);
  item->setIcon(PresenceIcon(online));
  item->setForeground(online ? QBrush() : QBrush(QColor(140, 140, 140)));
  item->setToolTip(HeardText(online, last_heard_ms));
  // A screen reader hears the state with the line.
  item->setData(QString::fromUtf8("%1, %2").arg(item->text(), online ? QObject::tr("online") : QObject::tr("offline")),
                Qt::AccessibleTextRole);
}

// Any part of the line (name and address), or the family's name, holds the
// filter's text; and the family is the chosen one (or any).
class DeviceFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetText(const QString& text) {
    m_text = text.trimmed();
    invalidateFilter();
  }
  void SetFamily(const QString& family) {
    m_family = family;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const QModelIndex index = sourceModel()->index(row, 0, parent);
    const QString family = index.data(kFamilyRole).toString();
    if (!m_family.isEmpty() && family != m_family) return false;
    if (m_text.isEmpty()) return true;
    return index.data(Qt::DisplayRole).toString().contains(m_text, Qt::CaseInsensitive) ||
           index.data(kAddressRole).toString().contains(m_text, Qt::CaseInsensitive) ||
           family.contains(m_text, Qt::CaseInsensitive);
  }

 private:
  QString m_text;
  QString m_family;
};

class OpenInWindowFilter : public QObject {
 public:
  OpenInWindowFilter(QAbstractItemView* view, QObject* owner, std::function<int(const QModelIndex&)> row_of,
                     std::function<void(int)> open)
      : QObject(owner), m_view(view), m_viewport(view->viewport()), m_row_of(std::move(row_of)),
        m_open(std::move(open)) {
    view->installEventFilter(this);
    m_viewport->installEventFilter(this);
    QObject::connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) { Open(index); });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_view && event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
          (key->modifiers() & Qt::ControlModifier)) {
        if (!key->isAutoRepeat()) Open(m_view->currentIndex());
        return true;
      }
    }
    // The pointers are compared, never called: the filter also sees the
    // events of a view that is being destroyed.
    if (watched == m_viewport && event->type() == QEvent::ContextMenu) {
      const auto* menu_event = static_cast<QContextMenuEvent*>(event);
      const QModelIndex index = m_view->indexAt(menu_event->pos());
      if (!index.isValid()) return false;
      QMenu menu(m_view);
      QAction* open = menu.addAction(QObject::tr("Open in its own window"));
      if (menu.exec(menu_event->globalPos()) == open) Open(index);
      return true;
    }
    return false;
  }

 private:
  void Open(const QModelIndex& index) {
    if (!index.isValid()) return;
    const int row = m_row_of(index);
    if (row >= 0) m_open(row);
  }
  QAbstractItemView* m_view;
  QObject* m_viewport;
  std::function<int(const QModelIndex&)> m_row_of;
  std::function<void(int)> m_open;
};

}  // namespace

void OfferOpenInWindow(QAbstractItemView* view, QObject* owner, std::function<int(const QModelIndex&)> row_of,
                       std::function<void(int row)> open) {
  new OpenInWindowFilter(view, owner, std::move(row_of), std::move(open));
}

DeviceBrowser::DeviceBrowser(QWidget* owner) : QDialog(owner, Qt::Window) {
  setObjectName(QStringLiteral("device_browser"));
  setWindowTitle(tr("Devices"));
  resize(420, 560);
  ApplyControlColours(this, ControlColours::kDarkFieldsGreyStatics);
  FillWithDarkBackground(this);
  auto* layout = new QVBoxLayout(this);
  auto* filters = new QHBoxLayout;
  m_filter = new QLineEdit(this);
  m_filter->setObjectName(QStringLiteral("device_filter"));
  m_filter->setPlaceholderText(tr("Filter: name, address or family"));
  m_filter->setAccessibleName(tr("Filter the devices"));
  m_filter->setClearButtonEnabled(true);
  m_family = new QComboBox(this);
  m_family->setObjectName(QStringLiteral("device_family_filter"));
  m_family->setAccessibleName(tr("Family"));
  m_family->addItem(tr("All families"), QString());
  for (const FamilyInfo& family : Families())
    m_family->addItem(QString::fromUtf8(family.name), QString::fromUtf8(family.name));
  filters->addWidget(m_filter, 1);
  filters->addWidget(m_family);
  layout->addLayout(filters);

  m_model = new QStandardItemModel(this);
  auto* proxy = new DeviceFilter(this);
  proxy->setSourceModel(m_model);
  m_proxy = proxy;
  m_list = new QListView(this);
  m_list->setObjectName(QStringLiteral("device_browser_list"));
  m_list->setAccessibleName(tr("Devices"));
  m_list->setModel(m_proxy);
  m_list->setUniformItemSizes(true);  // thousands of lines stay quick
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  layout->addWidget(m_list, 1);
  m_count = new QLabel(this);
  m_count->setObjectName(QStringLiteral("device_count"));
  layout->addWidget(m_count);

  connect(m_filter, &QLineEdit::textChanged, this, [this, proxy](const QString& text) {
    proxy->SetText(text);
    ShowCount();
  });
  connect(m_family, &QComboBox::activated, this, [this, proxy](int entry) {
    proxy->SetFamily(m_family->itemData(entry).toString());
    ShowCount();
  });
  // Enter (without Ctrl) or a click chooses the device in the main window.
  connect(m_list, &QListView::activated, this, [this](const QModelIndex& index) {
    if (on_choose && index.isValid()) on_choose(index.data(kRowRole).toInt());
  });
  m_list->installEventFilter(this);
  m_filter->installEventFilter(this);
  OfferOpenInWindow(
      m_list, this, [](const QModelIndex& index) { return index.data(kRowRole).toInt(); },
      [this](int row) {
        if (on_open_window) on_open_window(row);
      });
  ShowCount();
}

DeviceBrowser::~DeviceBrowser() = default;

bool DeviceBrowser::eventFilter(QObject* watched, QEvent* event) {
  // Down from the filter field goes to the list.
  if (watched == m_filter && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
    m_list->setFocus(Qt::TabFocusReason);
    if (!m_list->currentIndex().isValid() && m_proxy->rowCount() > 0)
      m_list->setCurrentIndex(m_proxy->index(0, 0));
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void DeviceBrowser::SetRows(const std::vector<DeviceRow>& rows) {
  m_model->clear();
  m_model->setColumnCount(1);
  for (size_t i = 0; i < rows.size(); ++i) {
    const DeviceRow& row = rows[i];
    auto* item = new QStandardItem(QString::fromStdString(row.line));
    item->setData(static_cast<int>(i), kRowRole);
    item->setData(QString::fromStdString(row.address), kAddressRole);
    item->setData(QString::fromStdString(row.family), kFamilyRole);
    ShowPresence(item, row.online, row.last_heard_ms);
    m_model->appendRow(item);
  }
  ShowCount();
}

void DeviceBrowser::SetOnline(const std::string& address, bool online, int64_t last_heard_ms) {
  const QString text = QString::fromStdString(address);
  for (int r = 0; r < m_model->rowCount(); ++r) {
    QStandardItem* item = m_model->item(r);
    if (item->data(kAddressRole).toString() == text) ShowPresence(item, online, last_heard_ms);
  }
}

int DeviceBrowser::ShownCount() const { return m_proxy->rowCount(); }

void DeviceBrowser::ShowCount() {
  m_count->setText(tr("%1 of %2 devices").arg(m_proxy->rowCount()).arg(m_model->rowCount()));
}

}  // namespace zv
