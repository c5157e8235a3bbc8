// Renders every bitmap of the default skin onto one sheet, faces masked over
// a panel background the way the skinned buttons show them, so that the
// whole skin can be looked over at once:
//   zv_skin_sheet out.png [first_id last_id [scale]]
#include <QApplication>
#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "res/skin.h"
#include "res/skin_table.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const QString out = argc > 1 ? argv[1] : "/tmp/skin_sheet.png";
  const int first = argc > 3 ? atoi(argv[2]) : 0;
  const int last = argc > 3 ? atoi(argv[3]) : 1 << 30;
  const double scale = argc > 4 ? atof(argv[4]) : 1.0;
  const int sheet_width = 1500;
  const int max_cell = 420;
  QImage sheet(sheet_width, 3000, QImage::Format_RGB32);
  sheet.fill(QColor(0x2B, 0x2E, 0x35));
  QPainter p(&sheet);
  int x = 8, y = 8, row_height = 0;
  for (const zv::SkinEntry& e : zv::SkinEntries()) {
    if (e.id < first || e.id > last) continue;
    QPixmap pm = zv::SkinBitmap(e.id);
    if (!pm.hasAlphaChannel()) pm.setMask(pm.createMaskFromColor(Qt::black));
    if (scale != 1.0) pm = pm.scaled(pm.size() * scale, Qt::KeepAspectRatio, Qt::FastTransformation);
    if (argc <= 4 && pm.width() > max_cell) pm = pm.scaledToWidth(max_cell, Qt::SmoothTransformation);
    const int cell_w = std::max(pm.width(), 40) + 10;
    const int cell_h = pm.height() + 18;
    if (x + cell_w > sheet_width) {
      x = 8;
      y += row_height + 6;
      row_height = 0;
    }
    p.drawPixmap(x, y, pm);
    p.setPen(QColor(200, 200, 200));
    QFont f;
    f.setPixelSize(11);
    p.setFont(f);
    p.drawText(x, y + pm.height() + 13, QString::number(e.id));
    x += cell_w;
    row_height = std::max(row_height, cell_h);
  }
  p.end();
  sheet.copy(0, 0, sheet_width, y + row_height + 8).save(out);
  return 0;
}
