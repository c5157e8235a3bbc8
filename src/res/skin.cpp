#include "res/skin.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "platform/platform.h"
#include "res/skin_table.h"

namespace zv {
namespace {

QString& OverrideDir() {
  static QString dir;
  return dir;
}
QHash<int, QPixmap>& Cache() {
  static QHash<int, QPixmap> cache;
  return cache;
}

QColor Rgb(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

void PaintWindowBackground(QPainter& p, const SkinEntry& e) {
  const QRect r(0, 0, e.width, e.height);
  QLinearGradient body(0, 0, 0, e.height);
  body.setColorAt(0, Rgb(e.colour).lighter(130));
  body.setColorAt(1, Rgb(e.colour));
  p.fillRect(r, body);
  // Title band with the program's name.
  p.fillRect(QRect(0, 0, e.width, 40), QColor(32, 36, 44));
  p.setPen(QColor(60, 180, 255));
  QFont title = p.font();
  title.setPixelSize(18);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(16, 0, 400, 40), Qt::AlignVCenter | Qt::AlignLeft, e.caption);
  // The well behind the panel area.
  p.setPen(QColor(70, 76, 86));
  p.setBrush(QColor(30, 33, 38));
  p.drawRoundedRect(QRect(16, 106, e.width - 32, 588), 6, 6);
  // A light status strip at the bottom carries the version text, which is
  // drawn in the default (dark) text colour.
  p.fillRect(QRect(0, e.height - 30, e.width, 30), QColor(176, 180, 188));
  // Label of the device list.
  p.setPen(QColor(200, 204, 210));
  QFont label = p.font();
  label.setPixelSize(14);
  label.setBold(false);
  p.setFont(label);
  p.drawText(QRect(20, 68, 58, 24), Qt::AlignVCenter | Qt::AlignLeft, "Device");
}

void PaintPanelBackground(QPainter& p, const SkinEntry& e, bool framed) {
  const QRect r(0, 0, e.width, e.height);
  QLinearGradient body(0, 0, 0, e.height);
  body.setColorAt(0, Rgb(e.colour).lighter(115));
  body.setColorAt(1, Rgb(e.colour));
  p.fillRect(r, body);
  if (framed) {
    p.setPen(QColor(80, 86, 96));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1, 1, -2, -2), 8, 8);
  }
}

// Faces sit on black, the transparent colour of button faces.
void PaintFace(QPainter& p, const SkinEntry& e) {
  const QRectF r(1.5, 1.5, e.width - 3, e.height - 3);
  QLinearGradient g(0, 0, 0, e.height);
  g.setColorAt(0, Rgb(e.colour).lighter(140));
  g.setColorAt(1, Rgb(e.colour).darker(120));
  p.setPen(QPen(Rgb(e.colour).lighter(170), 1));
  p.setBrush(g);
  p.drawRoundedRect(r, 6, 6);
  p.setPen(QColor(250, 250, 250));
  QFont f = p.font();
  f.setPixelSize(std::max(10, e.height * 2 / 5));
  f.setBold(true);
  p.setFont(f);
  p.drawText(r, Qt::AlignCenter, e.caption);
}

void PaintGlyph(QPainter& p, const SkinEntry& e) {
  const QRectF r(2.5, 4.5, e.width - 5, e.height - 9);
  p.setPen(Qt::NoPen);
  p.setBrush(Rgb(e.colour));
  p.drawRoundedRect(r, 4, 4);
  p.setPen(QPen(QColor(245, 245, 245), 2));
  p.setBrush(Qt::NoBrush);
  const QPointF c = r.center();
  switch (e.kind) {
    case SkinKind::kGlyphMinimise:
      p.drawLine(QPointF(c.x() - 7, c.y() + 5), QPointF(c.x() + 7, c.y() + 5));
      break;
    case SkinKind::kGlyphMaximise:
      p.drawRect(QRectF(c.x() - 6, c.y() - 6, 12, 12));
      break;
    case SkinKind::kGlyphClose:
      p.drawLine(QPointF(c.x() - 6, c.y() - 6), QPointF(c.x() + 6, c.y() + 6));
      p.drawLine(QPointF(c.x() + 6, c.y() - 6), QPointF(c.x() - 6, c.y() + 6));
      break;
    case SkinKind::kGlyphSettings: {
      // A cog: a ring with four teeth.
      p.drawEllipse(c, 4.5, 4.5);
      for (int k = 0; k < 4; ++k) {
        p.save();
        p.translate(c);
        p.rotate(45.0 * k);
        p.drawLine(QPointF(0, -8), QPointF(0, 8));
        p.restore();
      }
      p.setBrush(Rgb(e.colour));
      p.setPen(Qt::NoPen);
      p.drawEllipse(c, 3.5, 3.5);
      break;
    }
    default:
      break;
  }
}

void PaintIcon(QPainter& p, const SkinEntry& e) {
  p.setPen(Qt::NoPen);
  p.setBrush(Rgb(e.colour));
  p.drawRoundedRect(QRectF(1, 1, e.width - 2, e.height - 2), 6, 6);
  p.setPen(QColor(250, 250, 250));
  QFont f = p.font();
  f.setPixelSize(e.height / 2);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(0, 0, e.width, e.height), Qt::AlignCenter, e.caption);
}

QPixmap PaintDefault(const SkinEntry& e) {
  QPixmap pixmap(e.width, e.height);
  const bool transparent_surround = e.kind == SkinKind::kAppIcon;
  pixmap.fill(transparent_surround ? QColor(Qt::transparent) : QColor(Qt::black));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (e.kind) {
    case SkinKind::kWindowBackground: PaintWindowBackground(p, e); break;
    case SkinKind::kPanelBackground: PaintPanelBackground(p, e, true); break;
    case SkinKind::kDialogBackground: PaintPanelBackground(p, e, false); break;
    case SkinKind::kButtonFace: PaintFace(p, e); break;
    case SkinKind::kGlyphMinimise:
    case SkinKind::kGlyphMaximise:
    case SkinKind::kGlyphClose:
    case SkinKind::kGlyphSettings: PaintGlyph(p, e); break;
    case SkinKind::kAppIcon: PaintIcon(p, e); break;
  }
  return pixmap;
}

}  // namespace

void SetSkinOverrideDir(const QString& dir) {
  OverrideDir() = dir;
  Cache().clear();
}

QPixmap SkinBitmap(int id) {
  auto found = Cache().constFind(id);
  if (found != Cache().constEnd()) return *found;
  const SkinEntry* entry = FindSkinEntry(id);
  QPixmap pixmap;
  if (!OverrideDir().isEmpty()) {
    const QString path = QDir(OverrideDir()).filePath(QString::number(id) + ".png");
    if (QFileInfo::exists(path) && pixmap.load(path) && entry &&
        pixmap.size() != QSize(entry->width, entry->height)) {
      // The program lays its controls out for the table's sizes.
      pixmap = pixmap.scaled(entry->width, entry->height, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
  }
  if (pixmap.isNull()) {
    if (!entry) {
      Trace("skin has no bitmap %d", id);
      return QPixmap();
    }
    pixmap = PaintDefault(*entry);
  }
  Cache().insert(id, pixmap);
  return pixmap;
}

QIcon SkinIcon(int id) { return QIcon(SkinBitmap(id)); }

}  // namespace zv
