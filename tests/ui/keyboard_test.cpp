// The window worked from the keyboard alone: where the focus starts, that the
// focused control shows it, and that Tab keeps each group of controls
// together on every page of every panel. Keys are real key events on the
// focused widget.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <map>

#include "app/main_window.h"
#include "controls/focus_mark.h"
#include "controls/group_box.h"
#include "res/dialog_templates.h"
#include "support/link_drain.h"
#include "support/loopback_link.h"
#include "support/sim_runner.h"
#include "support/udp_peer.h"
#include "switcher/switcher_panel.h"

namespace zv {
namespace {

constexpr uint8_t kFamilyTypes[] = {0xA1, 0x82, 0x60, 0xA5};

// The main window with one virtual device of each family, so that every
// panel has read its device and enabled its controls.
class KeyboardTest : public ::testing::Test {
 protected:
  static sim::SimConfig Devices(uint16_t port) {
    sim::SimConfig config = test::LoopbackSim(port, {"Mv", "Mx", "Fc", "Sw"});
    for (int i = 0; i < 4; ++i) config.devices[static_cast<size_t>(i)].type = kFamilyTypes[i];
    return config;
  }

  void SetUp() override {
    ASSERT_TRUE(m_runner.started()) << m_runner.error();
    m_dlg = std::make_unique<CZELVIKDlg>(test::LoopbackConfig(m_port));
    for (int i = 0; i < 4; ++i) {
      if (m_dlg->m_device_list.size() <= static_cast<size_t>(i)) m_dlg->m_device_list.resize(static_cast<size_t>(i) + 1);
      m_dlg->m_device_list[i].device_type = kFamilyTypes[i];
      m_dlg->m_device_list[i].device_id = static_cast<uint8_t>(i + 1);
      m_dlg->m_device_list[i].SetIpText(QString("127.0.0.%1").arg(i + 2).toStdString());
      m_dlg->DeviceCombo()->addItem(QString("dev%1_127.0.0.%2").arg(i).arg(i + 2));
    }
    m_dlg->show();
    QApplication::setActiveWindow(m_dlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_dlg.get()));
  }

  QWidget* Focus() const { return QApplication::focusWidget(); }
  void Tab() { QTest::keyClick(Focus(), Qt::Key_Tab); }

  void Open(int device) {
    m_dlg->DeviceCombo()->setCurrentIndex(device);
    emit m_dlg->DeviceCombo()->activated(device);
    ASSERT_NE(m_dlg->m_p_mian_show_dlg, nullptr);
    ASSERT_TRUE(test::DrainLink(*m_dlg));
  }

  uint16_t m_port = test::FreeUdpPort();
  test::SimRunner m_runner{Devices(m_port)};
  std::unique_ptr<CZELVIKDlg> m_dlg;
};

TEST_F(KeyboardTest, FocusStartsOnScan) {
  EXPECT_EQ(Focus(), m_dlg->Item(kIdScan));
}

// Tab from control to control across the switcher panel's skinned buttons
// (and the list and the T-bar on the way): each time, the picture changes
// around the control that took the focus, and there it shows the ring, two
// pixels of the mark's colour all round; nothing changes elsewhere but
// where the ring left.
TEST_F(KeyboardTest, TheFocusedControlShowsARing) {
  Open(3);
  ASSERT_NE(qobject_cast<CClass_switcher_dlg*>(m_dlg->m_p_mian_show_dlg.data()), nullptr);
  QWidget* scan = m_dlg->Item(kIdScan);
  scan->setFocus(Qt::TabFocusReason);
  const int out = kFocusMarkOutset;
  QRect previous = scan->geometry().adjusted(-out, -out, out, out);
  for (int step = 0; step < 14; ++step) {
    const QImage before = m_dlg->grab().toImage();
    Tab();
    QWidget* now = Focus();
    ASSERT_NE(now, nullptr);
    SCOPED_TRACE(now->accessibleName().toStdString());
    const QImage after = m_dlg->grab().toImage();
    const QRect at(now->mapTo(m_dlg.get(), QPoint(0, 0)), now->size());
    const QRect ring = at.adjusted(-out, -out, out, out) & m_dlg->rect();
    // The ring's outer two pixels, in the middle of each side.
    const QPoint samples[] = {
        {ring.center().x(), ring.top()},        {ring.center().x(), ring.top() + 1},
        {ring.center().x(), ring.bottom()},     {ring.center().x(), ring.bottom() - 1},
        {ring.left(), ring.center().y()},       {ring.left() + 1, ring.center().y()},
        {ring.right(), ring.center().y()},      {ring.right() - 1, ring.center().y()},
    };
    for (const QPoint& p : samples)
      EXPECT_EQ(after.pixel(p), kFocusMarkColour) << p.x() << "," << p.y();
    int changed_near = 0, changed_elsewhere = 0;
    for (int y = 0; y < after.height(); ++y) {
      for (int x = 0; x < after.width(); ++x) {
        if (before.pixel(x, y) == after.pixel(x, y)) continue;
        if (ring.contains(x, y)) ++changed_near;
        else if (!previous.contains(x, y)) ++changed_elsewhere;
      }
    }
    EXPECT_GT(changed_near, 4 * ring.width());
    EXPECT_EQ(changed_elsewhere, 0);
    previous = ring;
  }
}

// The group a control belongs to, read from what it is called: numbered
// controls of one kind ("Window 3 source", "Program 5", "Program BLK") share
// their first word.
QString FamilyOf(const QString& name, const QStringList& all) {
  const QString first = name.section(' ', 0, 0);
  static const QRegularExpression digit("\\d");
  for (const QString& other : all)
    if (other.section(' ', 0, 0) == first && other.contains(digit)) return first;
  return QString();
}

// The focus chain from Scan round to Scan, as Tab walks it: the visible
// controls it stops on.
QList<QWidget*> WalkTabChain(QWidget* start, const std::function<void()>& tab) {
  QList<QWidget*> chain;
  start->setFocus(Qt::TabFocusReason);
  for (int i = 0; i < 400; ++i) {
    tab();
    QWidget* w = QApplication::focusWidget();
    if (!w || w == start) break;
    chain << w;
  }
  return chain;
}

// Members of a group that Tab reaches are one after another: no control of
// another group comes between them.
void ExpectGroupsContiguous(const QList<QWidget*>& chain, const std::string& where) {
  QStringList names;
  for (QWidget* w : chain) names << w->accessibleName();
  std::map<QString, std::vector<int>> families;
  for (int i = 0; i < chain.size(); ++i) {
    const QString family = FamilyOf(names[i], names);
    if (!family.isEmpty()) families[family].push_back(i);
  }
  // The frames drawn on a page: the controls inside one (and the fields
  // inside those controls) are one group.
  std::map<const QWidget*, std::vector<int>> frames;
  for (int i = 0; i < chain.size(); ++i) {
    for (QWidget* a = chain[i]; a->parentWidget() && !a->isWindow(); a = a->parentWidget()) {
      for (auto* frame : a->parentWidget()->findChildren<CMyGroupBox*>(Qt::FindDirectChildrenOnly))
        if (frame->isVisible() && frame->geometry().contains(a->geometry().center()))
          frames[frame].push_back(i);
    }
  }
  auto check = [&](const std::vector<int>& members, const QString& group) {
    if (members.back() - members.front() + 1 == static_cast<int>(members.size())) return;
    ADD_FAILURE() << where << ": Tab leaves " << group.toStdString() << " and comes back: "
                  << names.join(", ").toStdString();
  };
  for (const auto& [family, members] : families) check(members, family);
  for (const auto& [frame, members] : frames) check(members, "a frame");
}

TEST_F(KeyboardTest, TabKeepsEachGroupTogetherOnEveryPage) {
  QWidget* scan = m_dlg->Item(kIdScan);
  auto tab = [this] { Tab(); };
  for (int device = 0; device < 4; ++device) {
    Open(device);
    const std::string panel = "panel " + std::to_string(device);
    // Tab reaches every control the panel and its page show that takes the
    // keyboard, and the page has some.
    auto walk = [&](const std::string& where) {
      const QList<QWidget*> chain = WalkTabChain(scan, tab);
      ExpectGroupsContiguous(chain, where);
      QWidget* panel_now = m_dlg->m_p_mian_show_dlg;
      for (QWidget* w : panel_now->findChildren<QWidget*>()) {
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy()) {
          EXPECT_TRUE(chain.contains(w)) << where << ": Tab never reaches " << w->accessibleName().toStdString();
        }
      }
      for (QWidget* page : panel_now->findChildren<CChildDialog*>(Qt::FindDirectChildrenOnly)) {
        if (!page->isVisible()) continue;
        EXPECT_TRUE(std::any_of(chain.begin(), chain.end(), [page](QWidget* w) { return page->isAncestorOf(w); }))
            << where << ": nothing on the page takes the keyboard";
      }
    };
    walk(panel);
    QList<QAbstractButton*> page_buttons;
    for (QAbstractButton* b : m_dlg->m_p_mian_show_dlg->findChildren<QAbstractButton*>())
      if (b->isVisible() && b->accessibleName().endsWith(" page")) page_buttons << b;
    for (QAbstractButton* b : page_buttons) {
      b->click();
      ASSERT_TRUE(test::DrainLink(*m_dlg));
      walk(panel + ", " + b->accessibleName().toStdString());
    }
    if (auto* switcher = qobject_cast<CClass_switcher_dlg*>(m_dlg->m_p_mian_show_dlg.data())) {
      for (int k = 0; k < 4; ++k) {
        switcher->ShowSwitcherPage(k);
        ASSERT_TRUE(test::DrainLink(*m_dlg));
        walk(panel + ", page " + std::to_string(k));
      }
    }
  }
}

}  // namespace
}  // namespace zv
