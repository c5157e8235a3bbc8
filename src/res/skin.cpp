#include "res/skin.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include "fourch/fourch_show_modes.h"
#include "multiview/multiview_layout.h"
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

// Dark ink is never pure black: black is the see-through colour of faces.
const QColor kInk(0x18, 0x1B, 0x20);
const QColor kPaper(0xF4, 0xF6, 0xF9);
// The program's own text blue, used for captions on unlit dark faces.
const QColor kTextBlue(60, 180, 255);
// The preview's window colours, so that pictograms read like the preview.
const QColor kPreviewFrame(89, 187, 255);
const QColor kPreviewInner(55, 55, 55);

bool IsLight(const QColor& c) { return 299 * c.red() + 587 * c.green() + 114 * c.blue() > 150000; }

QFont BoldFont(int pixel_size) {
  QFont f;
  f.setStyleHint(QFont::SansSerif);
  f.setFamily("DejaVu Sans");
  f.setPixelSize(std::max(7, pixel_size));
  f.setBold(true);
  return f;
}

// The largest bold font, no bigger than `start`, in which `text` fits `box`,
// on one line or wrapped at its spaces.
QFont FitFont(const QString& text, const QRectF& box, int start) {
  for (int size = start; size > 7; --size) {
    const QFont f = BoldFont(size);
    const QFontMetrics m(f);
    const QRect wrapped =
        m.boundingRect(box.toRect(), Qt::AlignCenter | Qt::TextWordWrap, text);
    if (wrapped.width() <= box.width() && wrapped.height() <= box.height()) return f;
  }
  return BoldFont(7);
}

void DrawCaption(QPainter& p, const QRectF& box, const QString& text, const QColor& colour,
                 int start_size) {
  if (text.isEmpty()) return;
  p.setFont(FitFont(text, box, start_size));
  p.setPen(colour);
  p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text);
}

void PaintWindowBackground(QPainter& p, const SkinEntry& e) {
  const QRect r(0, 0, e.width, e.height);
  QLinearGradient body(0, 0, 0, e.height);
  body.setColorAt(0, Rgb(e.colour).lighter(130));
  body.setColorAt(1, Rgb(e.colour));
  p.fillRect(r, body);
  // Title band with the program's name.
  p.fillRect(QRect(0, 0, e.width, 40), QColor(32, 36, 44));
  p.setPen(kTextBlue);
  p.setFont(BoldFont(18));
  p.drawText(QRect(16, 0, 400, 40), Qt::AlignVCenter | Qt::AlignLeft, e.caption);
  // The well behind the panel area.
  p.setPen(QColor(70, 76, 86));
  p.setBrush(QColor(30, 33, 38));
  p.drawRoundedRect(QRect(16, 106, e.width - 32, 588), 6, 6);
  // A light status strip at the bottom carries the version text, which is
  // drawn in the default (dark) text colour.
  p.fillRect(QRect(0, e.height - 30, e.width, 30), QColor(176, 180, 188));
  p.setPen(QColor(200, 204, 210));
  QFont label = BoldFont(14);
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

// A labelled well behind a group of buttons; the label sits in the strip
// above the buttons so that no face covers it.
void PaintBand(QPainter& p, const QRect& r, const QString& label, const QColor& accent) {
  p.setPen(QColor(78, 84, 94));
  p.setBrush(QColor(0x33, 0x37, 0x3F));
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
  p.fillRect(QRect(r.x() + 8, r.y() + 7, 4, 14), accent);
  p.setPen(accent);
  p.setFont(BoldFont(13));
  p.drawText(QRect(r.x() + 18, r.y() + 4, r.width() - 24, 20), Qt::AlignVCenter | Qt::AlignLeft,
             label);
}

void PaintMatrixBackground(QPainter& p, const SkinEntry& e) {
  PaintPanelBackground(p, e, true);
  // Input and output buttons: x = 80 + 68 (k - 1), 60 x 65, at y 180 and 380.
  PaintBand(p, QRect(64, 152, 568, 108), "INPUTS", kTextBlue);
  PaintBand(p, QRect(64, 352, 568, 108), "OUTPUTS", QColor(0xF4, 0xB3, 0x21));
}

void PaintSwitcherBackground(QPainter& p, const SkinEntry& e) {
  PaintPanelBackground(p, e, true);
  // Bus rows: sources at x 10 to 290 and 360 to 430, programme at y 120 and
  // 200, preview at y 340 and 420; next-transition and type keys from x 465.
  PaintBand(p, QRect(4, 92, 432, 186), "PROGRAM", QColor(0xF0, 0x50, 0x50));
  PaintBand(p, QRect(4, 312, 432, 186), "PREVIEW", QColor(0x40, 0xD8, 0x68));
  PaintBand(p, QRect(459, 92, 222, 186), "KEYS", kTextBlue);
  PaintBand(p, QRect(459, 312, 222, 106), "TRANSITION", kTextBlue);
}

// The rounded body of every face. Lit faces get a bright rim and a gloss so
// that a selected key is told from an unlit one at a glance, whatever colour.
QRectF PaintFaceBody(QPainter& p, const SkinEntry& e, const QColor& body) {
  // The unlit rim is one device pixel wide, on the centre of a device pixel
  // at any density (1.5 at 1x), so it stays a sharp hairline on dense screens.
  const qreal hair = 1.0 / p.device()->devicePixelRatioF();
  const QRectF r(1 + hair / 2, 1 + hair / 2, e.width - 2 - hair, e.height - 2 - hair);
  const qreal radius = std::min<qreal>(8, e.height / 6.0);
  QLinearGradient g(0, 0, 0, e.height);
  if (e.selected) {
    g.setColorAt(0, body.lighter(135));
    g.setColorAt(0.5, body);
    g.setColorAt(1, body.darker(125));
    p.setPen(QPen(body.lighter(190), 2));
  } else {
    g.setColorAt(0, body.lighter(125));
    g.setColorAt(1, body.darker(115));
    p.setPen(QPen(body.lighter(165), hair));
  }
  p.setBrush(g);
  p.drawRoundedRect(e.selected ? r.adjusted(0.5, 0.5, -0.5, -0.5) : r, radius, radius);
  if (e.selected) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 55));
    p.drawRoundedRect(QRectF(r.x() + 3, r.y() + 3, r.width() - 6, r.height() * 0.42), radius - 2,
                      radius - 2);
  }
  return r;
}

void PaintLock(QPainter& p, const QRectF& box, const QColor& ink, bool closed) {
  const qreal s = std::min(box.width(), box.height());
  const QPointF c = box.center();
  const QRectF bodyr(c.x() - s * 0.34, c.y() - s * 0.05, s * 0.68, s * 0.5);
  p.setPen(QPen(ink, std::max<qreal>(2, s / 10), Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  const QRectF shackle(c.x() - s * 0.22, c.y() - s * 0.42, s * 0.44, s * 0.6);
  if (closed) {
    p.drawArc(shackle, 0, 180 * 16);
    p.drawLine(QPointF(shackle.left(), shackle.center().y()),
               QPointF(shackle.left(), bodyr.top()));
  } else {
    // Open: the shackle swung up and to the right.
    p.drawArc(shackle.translated(s * 0.16, -s * 0.12), 0, 180 * 16);
    p.drawLine(QPointF(shackle.right() + s * 0.16, shackle.center().y() - s * 0.12),
               QPointF(shackle.right() + s * 0.16, bodyr.top() - s * 0.02));
  }
  if (closed)
    p.drawLine(QPointF(shackle.right(), shackle.center().y()),
               QPointF(shackle.right(), bodyr.top()));
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawRoundedRect(bodyr, 2, 2);
}

void PaintGlyphShape(QPainter& p, SkinGlyph glyph, const QRectF& box, const QColor& ink) {
  const qreal s = std::min(box.width(), box.height());
  const QPointF c = box.center();
  const qreal pen = std::max<qreal>(1.6, s / 12);
  p.save();
  p.setPen(QPen(ink, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  switch (glyph) {
    case SkinGlyph::kNone:
      break;
    case SkinGlyph::kPlay: {
      p.setPen(Qt::NoPen);
      p.setBrush(ink);
      const QPolygonF tri({QPointF(c.x() - s * 0.3, c.y() - s * 0.38),
                           QPointF(c.x() + s * 0.38, c.y()),
                           QPointF(c.x() - s * 0.3, c.y() + s * 0.38)});
      p.drawPolygon(tri);
      break;
    }
    case SkinGlyph::kStop:
      p.setPen(Qt::NoPen);
      p.setBrush(ink);
      p.drawRoundedRect(QRectF(c.x() - s * 0.32, c.y() - s * 0.32, s * 0.64, s * 0.64), 2, 2);
      break;
    case SkinGlyph::kLockOpen:
    case SkinGlyph::kLockClosed:
      PaintLock(p, box, ink, glyph == SkinGlyph::kLockClosed);
      break;
    case SkinGlyph::kStream:
      // A transmitter: a dot with two pairs of radio arcs.
      p.setBrush(ink);
      p.drawEllipse(c, s * 0.08, s * 0.08);
      p.setBrush(Qt::NoBrush);
      for (int k = 1; k <= 2; ++k) {
        const qreal rad = s * 0.2 * k;
        const QRectF arc(c.x() - rad, c.y() - rad, 2 * rad, 2 * rad);
        p.drawArc(arc, -40 * 16, 80 * 16);
        p.drawArc(arc, 140 * 16, 80 * 16);
      }
      break;
    case SkinGlyph::kStatus:
      // Level bars of a read-out.
      for (int k = 0; k < 4; ++k) {
        const qreal h = s * (0.25 + 0.17 * k);
        p.fillRect(QRectF(c.x() - s * 0.4 + k * s * 0.22, c.y() + s * 0.4 - h, s * 0.14, h), ink);
      }
      break;
    case SkinGlyph::kLayout: {
      const QRectF r(c.x() - s * 0.45, c.y() - s * 0.32, s * 0.9, s * 0.64);
      p.drawRect(r);
      p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
      p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
      break;
    }
    case SkinGlyph::kLabels: {
      // A screen with a caption strip along its foot.
      const QRectF r(c.x() - s * 0.45, c.y() - s * 0.32, s * 0.9, s * 0.64);
      p.drawRect(r);
      p.fillRect(QRectF(r.x() + r.width() * 0.25, r.bottom() - r.height() * 0.32,
                        r.width() * 0.5, r.height() * 0.2),
                 ink);
      break;
    }
    case SkinGlyph::kAudio:
      for (int k = 0; k < 3; ++k) {
        const qreal h = s * (0.8 - 0.2 * k);
        p.fillRect(QRectF(c.x() - s * 0.3 + k * s * 0.22, c.y() + s * 0.4 - h, s * 0.14, h), ink);
      }
      break;
    case SkinGlyph::kColours: {
      const std::array<QColor, 3> dots{QColor(0xF0, 0x50, 0x50), QColor(0x40, 0xD8, 0x68),
                                       QColor(0x50, 0x90, 0xFF)};
      p.setPen(QPen(ink, 1.2));
      for (int k = 0; k < 3; ++k) {
        const qreal a = (90 + 120 * k) * M_PI / 180;
        p.setBrush(dots[static_cast<size_t>(k)]);
        p.drawEllipse(QPointF(c.x() + std::cos(a) * s * 0.2, c.y() - std::sin(a) * s * 0.2),
                      s * 0.22, s * 0.22);
      }
      break;
    }
    case SkinGlyph::kSettings:
      // A cog: teeth around a ring.
      for (int k = 0; k < 8; ++k) {
        const qreal a = k * M_PI / 4;
        p.drawLine(QPointF(c.x() + std::cos(a) * s * 0.26, c.y() + std::sin(a) * s * 0.26),
                   QPointF(c.x() + std::cos(a) * s * 0.44, c.y() + std::sin(a) * s * 0.44));
      }
      p.drawEllipse(c, s * 0.27, s * 0.27);
      p.drawEllipse(c, s * 0.1, s * 0.1);
      break;
  }
  p.restore();
}

void PaintFace(QPainter& p, const SkinEntry& e) {
  const QColor body = Rgb(e.colour);
  const QRectF r = PaintFaceBody(p, e, body);
  const QColor ink = IsLight(body) ? kInk : (e.selected ? kPaper : QColor(0xE4, 0xE9, 0xF0));
  QRectF text_box = r.adjusted(5, 4, -5, -4);
  const auto glyph = static_cast<SkinGlyph>(e.index);
  if (glyph != SkinGlyph::kNone) {
    QRectF glyph_box;
    if (e.width >= e.height * 3 / 2) {
      // Wide faces carry the glyph left of the caption.
      const qreal side = std::min(r.height() - 12, r.width() * 0.28);
      glyph_box = QRectF(r.x() + 7, r.center().y() - side / 2, side, side);
      text_box.setLeft(glyph_box.right() + 3);
    } else {
      glyph_box = QRectF(r.x() + 6, r.y() + 5, r.width() - 12, r.height() * 0.5);
      text_box.setTop(glyph_box.bottom());
    }
    PaintGlyphShape(p, glyph, glyph_box, ink);
  }
  // Short captions (source numbers) are drawn large.
  const int start = static_cast<int>(QString(e.caption).size() <= 2 ? e.height * 0.5
                                                                    : e.height * 0.34);
  DrawCaption(p, text_box, e.caption, ink, start);
}

void PaintPageButton(QPainter& p, const SkinEntry& e) {
  const QColor body = Rgb(e.colour);
  const QRectF r = PaintFaceBody(p, e, body);
  const QColor ink = e.selected ? kPaper : kTextBlue;
  PaintGlyphShape(p, static_cast<SkinGlyph>(e.index),
                  QRectF(r.x() + 10, r.y() + 8, r.width() - 20, r.height() * 0.5), ink);
  DrawCaption(p, QRectF(r.x() + 3, r.y() + r.height() * 0.62, r.width() - 6, r.height() * 0.34),
              e.caption, ink, 13);
  if (e.selected) {
    p.fillRect(QRectF(r.x() + 8, r.bottom() - 5, r.width() - 16, 3), kPaper);
  }
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

void PaintAppIcon(QPainter& p, const SkinEntry& e) {
  p.setPen(Qt::NoPen);
  p.setBrush(Rgb(e.colour));
  p.drawRoundedRect(QRectF(1, 1, e.width - 2, e.height - 2), 6, 6);
  p.setPen(kPaper);
  p.setFont(BoldFont(e.height / 2));
  p.drawText(QRectF(0, 0, e.width, e.height), Qt::AlignCenter, e.caption);
}

// Serial link: two plug halves, joined and green when connected, apart and
// dull red when not.
void PaintLinkIcon(QPainter& p, const SkinEntry& e) {
  const QColor lamp = Rgb(e.colour);
  p.setPen(QPen(lamp.lighter(150), 1.5));
  p.setBrush(QColor(0x2A, 0x2E, 0x35));
  p.drawEllipse(QRectF(1.5, 1.5, e.width - 3, e.height - 3));
  const qreal cy = e.height / 2.0;
  const qreal gap = e.selected ? 0 : 5;
  p.setPen(Qt::NoPen);
  p.setBrush(lamp.lighter(e.selected ? 110 : 130));
  p.drawRoundedRect(QRectF(6, cy - 5, 9 - gap / 2, 10), 2, 2);                // left half
  p.drawRoundedRect(QRectF(17 + gap / 2, cy - 5, 9 - gap / 2, 10), 2, 2);     // right half
  p.fillRect(QRectF(14 - gap / 2, cy - 3.5, 2, 2), lamp.lighter(150));        // pins
  p.fillRect(QRectF(14 - gap / 2, cy + 1.5, 2, 2), lamp.lighter(150));
  p.setPen(QPen(lamp.lighter(120), 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(2.5, cy), QPointF(6, cy));
  p.drawLine(QPointF(26, cy), QPointF(e.width - 2.5, cy));
}

// Signal lamp: a lit green lens, or a dark one struck through.
void PaintSignalIcon(QPainter& p, const SkinEntry& e) {
  const QRectF r(2, 2, e.width - 4, e.height - 4);
  const QColor lamp = Rgb(e.colour);
  QRadialGradient g(r.center() - QPointF(4, 4), r.width() * 0.7);
  g.setColorAt(0, e.selected ? lamp.lighter(170) : QColor(0x6A, 0x6F, 0x78));
  g.setColorAt(1, e.selected ? lamp.darker(120) : QColor(0x3A, 0x3E, 0x45));
  p.setPen(QPen(e.selected ? lamp.lighter(140) : QColor(0x80, 0x86, 0x90), 1.5));
  p.setBrush(g);
  p.drawEllipse(r);
  if (!e.selected) {
    p.setPen(QPen(lamp.lighter(170), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9, 9), QPointF(e.width - 9, e.height - 9));
  }
}

// The screen of a pictogram: 3:2 like the output picture, centred in the
// face with room for the rim.
QRect PictogramScreen(const SkinEntry& e, int margin_x) {
  const int w = e.width - 2 * margin_x;
  const int h = w * 2 / 3;
  return QRect(margin_x, (e.height - h) / 2, w, h);
}

struct ScreenColours {
  QColor screen, frame, inner, number;
};

ScreenColours PictogramColours(bool lit) {
  if (lit) return {QColor(0x1C, 0x4C, 0x7E), kPaper, QColor(0x3F, 0x86, 0xCC), kPaper};
  return {QColor(0x22, 0x25, 0x2B), kPreviewFrame, kPreviewInner, kTextBlue};
}

// One window of a pictogram, drawn like the preview draws it: a frame in the
// window colour, a dark inner field and the window's number where it fits.
void PaintPictogramWindow(QPainter& p, const QRect& screen, int x, int y, int w, int h,
                          int number, const ScreenColours& c) {
  if (w <= 0 || h <= 0) return;
  const QRect r(screen.x() + x, screen.y() + y, w, h);
  p.fillRect(r, c.frame);
  if (w > 2 && h > 2) p.fillRect(r.adjusted(1, 1, -1, -1), c.inner);
  if (w >= 11 && h >= 9) {
    p.setPen(c.number);
    p.setFont(BoldFont(std::min(h - 2, 11)));
    p.drawText(r, Qt::AlignCenter, QString::number(number));
  }
}

int WindowLabel(const MultiviewWindow& w) { return w.number; }
int WindowLabel(const TriskPreviewWindow& w) { return w.label; }

// A pictogram: the face, its screen, and the windows of a geometry table
// scaled into the screen, drawn in slot order (later slots are the insets, so
// they land on top).
template <typename Windows>
void PaintPictogram(QPainter& p, const SkinEntry& e, int screen_margin, const Windows& windows_of) {
  PaintFaceBody(p, e, Rgb(e.colour));
  const QRect screen = PictogramScreen(e, screen_margin);
  const ScreenColours c = PictogramColours(e.selected);
  p.fillRect(screen, c.screen);
  p.setRenderHint(QPainter::Antialiasing, false);
  for (const auto& w : windows_of(screen.width(), screen.height()))
    PaintPictogramWindow(p, screen, w.x, w.y, w.width, w.height, WindowLabel(w), c);
}

void PaintLayoutPictogram(QPainter& p, const SkinEntry& e) {
  PaintPictogram(p, e, 7, [&e](int w, int h) { return MultiviewLayoutWindows(e.index, w, h); });
}

void PaintShowModePictogram(QPainter& p, const SkinEntry& e) {
  PaintPictogram(p, e, 5, [&e](int w, int h) { return TriskPreviewWindows(e.index, w, h); });
}

// Wipe pictures in eighths of the screen: the incoming picture's block and
// the arrow (or two) along which it grows.
struct WipeShape {
  QRectF block;
  QLineF arrows[2];
};

const std::array<WipeShape, 9> kWipeShapes{{
    {QRectF(4, 4, 4, 4), {QLineF(4.8, 4.8, 1.4, 1.4), QLineF()}},  // from bottom right
    {QRectF(0, 5, 8, 3), {QLineF(4, 6.6, 4, 1.2), QLineF()}},      // from bottom
    {QRectF(0, 0, 3, 8), {QLineF(1.4, 4, 6.8, 4), QLineF()}},      // from left
    {QRectF(5, 0, 3, 8), {QLineF(6.6, 4, 1.2, 4), QLineF()}},      // from right
    {QRectF(3, 0, 2, 8), {QLineF(3.2, 4, 0.6, 4), QLineF(4.8, 4, 7.4, 4)}},  // split
    {QRectF(0, 4, 4, 4), {QLineF(3.2, 4.8, 6.6, 1.4), QLineF()}},  // from bottom left
    {QRectF(4, 0, 4, 4), {QLineF(4.8, 3.2, 1.4, 6.6), QLineF()}},  // from top right
    {QRectF(0, 0, 8, 3), {QLineF(4, 1.4, 4, 6.8), QLineF()}},      // from top
    {QRectF(0, 0, 4, 4), {QLineF(3.2, 3.2, 6.6, 6.6), QLineF()}},  // from top left
}};

void PaintArrow(QPainter& p, const QLineF& line, const QColor& ink, const QColor& outline) {
  const qreal angle = std::atan2(line.dy(), line.dx());
  const qreal head = 6;
  const QPointF tip = line.p2();
  const QPolygonF arrow_head({tip,
                              tip - QPointF(std::cos(angle - 0.5) * head,
                                            std::sin(angle - 0.5) * head),
                              tip - QPointF(std::cos(angle + 0.5) * head,
                                            std::sin(angle + 0.5) * head)});
  const QLineF shaft(line.p1(), tip - QPointF(std::cos(angle) * head * 0.6,
                                              std::sin(angle) * head * 0.6));
  // An outline under the arrow keeps it readable over both pictures.
  p.setPen(QPen(outline, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(outline);
  p.drawLine(shaft);
  p.drawPolygon(arrow_head);
  p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(ink);
  p.drawLine(shaft);
  p.setPen(QPen(ink, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolygon(arrow_head);
}

void PaintWipePictogram(QPainter& p, const SkinEntry& e) {
  PaintFaceBody(p, e, Rgb(e.colour));
  const QRect screen = PictogramScreen(e, 6);
  const WipeShape& shape = kWipeShapes[static_cast<size_t>(std::clamp(e.index, 0, 8))];
  const qreal ux = screen.width() / 8.0;
  const qreal uy = screen.height() / 8.0;
  auto map = [&](QPointF pt) { return QPointF(screen.x() + pt.x() * ux, screen.y() + pt.y() * uy); };
  const QColor outgoing = e.selected ? QColor(0x5C, 0x47, 0x12) : QColor(0x4E, 0x54, 0x5E);
  const QColor incoming = e.selected ? QColor(0xFF, 0xF3, 0xD0) : kPreviewFrame;
  const QColor ink = e.selected ? kInk : kPaper;
  const QColor outline = e.selected ? QColor(0xFF, 0xF3, 0xD0) : QColor(0x22, 0x25, 0x2B);
  p.fillRect(screen, outgoing);
  p.fillRect(QRectF(map(shape.block.topLeft()), map(shape.block.bottomRight())), incoming);
  for (const QLineF& a : shape.arrows)
    if (!a.isNull()) PaintArrow(p, QLineF(map(a.p1()), map(a.p2())), ink, outline);
  p.setPen(QPen(e.selected ? kInk : QColor(0x80, 0x86, 0x90), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(screen).adjusted(0.5, 0.5, -0.5, -0.5));
}

// The T-bar's track. The slider draws the thumb at x 10 with its centre
// between y 50 (position 0) and y 364 (position 129).
void PaintTbarChannel(QPainter& p, const SkinEntry& e) {
  PaintPanelBackground(p, e, false);
  const QRectF well(6.5, 6.5, e.width - 13, e.height - 13);
  p.setPen(QColor(78, 84, 94));
  p.setBrush(QColor(0x30, 0x34, 0x3B));
  p.drawRoundedRect(well, 10, 10);
  const qreal cx = 10 + 144 / 2.0;
  // Scale marks every eighth of the travel, longer at the ends and middle.
  for (int k = 0; k <= 8; ++k) {
    const qreal y = 50 + (364 - 50) * k / 8.0;
    const qreal len = (k % 4 == 0) ? 30 : 18;
    p.setPen(QPen(QColor(0x9A, 0xA0, 0xAA), k % 4 == 0 ? 2 : 1));
    p.drawLine(QPointF(cx - 20 - len, y), QPointF(cx - 20, y));
    p.drawLine(QPointF(cx + 20, y), QPointF(cx + 20 + len, y));
  }
  // The slot the handle rides in.
  QLinearGradient slot(cx - 6, 0, cx + 6, 0);
  slot.setColorAt(0, QColor(0x14, 0x16, 0x1A));
  slot.setColorAt(1, QColor(0x3A, 0x3E, 0x46));
  p.setPen(QColor(0x5A, 0x60, 0x6A));
  p.setBrush(slot);
  p.drawRoundedRect(QRectF(cx - 6, 40, 12, 334), 6, 6);
  p.setPen(kTextBlue);
  p.setFont(BoldFont(12));
  p.drawText(QRectF(0, 382, e.width, 24), Qt::AlignCenter, "T-BAR");
}

// The handle sits on black: the slider keys its top-left pixel's colour out.
void PaintTbarThumb(QPainter& p, const SkinEntry& e) {
  const QRectF r(2.5, 2.5, e.width - 5, e.height - 5);
  QLinearGradient g(0, 0, 0, e.height);
  g.setColorAt(0, Rgb(e.colour).lighter(110));
  g.setColorAt(0.5, Rgb(e.colour).darker(115));
  g.setColorAt(1, Rgb(e.colour).darker(150));
  p.setPen(QPen(QColor(0x70, 0x76, 0x80), 1));
  p.setBrush(g);
  p.drawRoundedRect(r, 8, 8);
  // Grip ridges and a red centre line that reads against the scale marks.
  for (int k = -2; k <= 2; ++k) {
    if (k == 0) continue;
    p.setPen(QPen(QColor(0x8A, 0x90, 0x9A), 1));
    p.drawLine(QPointF(16, e.height / 2.0 + 5 * k), QPointF(e.width - 16, e.height / 2.0 + 5 * k));
  }
  p.fillRect(QRectF(8, e.height / 2.0 - 1.5, e.width - 16, 3), QColor(0xE3, 0x26, 0x2B));
}

// The screens' highest density: 1 normally, 2 with QT_SCALE_FACTOR=2 or on a
// dense screen. Bitmaps are made at that density, so nothing is scaled up.
qreal SkinPixelRatio() { return qGuiApp ? std::max<qreal>(1.0, qGuiApp->devicePixelRatio()) : 1.0; }

QPixmap PaintDefault(const SkinEntry& e) {
  const qreal ratio = SkinPixelRatio();
  QPixmap pixmap(QSize(e.width, e.height) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  const bool transparent_surround = e.kind == SkinKind::kAppIcon ||
                                    e.kind == SkinKind::kLinkIcon ||
                                    e.kind == SkinKind::kSignalIcon;
  pixmap.fill(transparent_surround ? QColor(Qt::transparent) : QColor(Qt::black));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  switch (e.kind) {
    case SkinKind::kWindowBackground: PaintWindowBackground(p, e); break;
    case SkinKind::kPanelBackground: PaintPanelBackground(p, e, true); break;
    case SkinKind::kDialogBackground: PaintPanelBackground(p, e, false); break;
    case SkinKind::kMatrixBackground: PaintMatrixBackground(p, e); break;
    case SkinKind::kSwitcherBackground: PaintSwitcherBackground(p, e); break;
    case SkinKind::kButtonFace: PaintFace(p, e); break;
    case SkinKind::kPageButton: PaintPageButton(p, e); break;
    case SkinKind::kGlyphMinimise:
    case SkinKind::kGlyphMaximise:
    case SkinKind::kGlyphClose:
    case SkinKind::kGlyphSettings: PaintGlyph(p, e); break;
    case SkinKind::kAppIcon: PaintAppIcon(p, e); break;
    case SkinKind::kLinkIcon: PaintLinkIcon(p, e); break;
    case SkinKind::kSignalIcon: PaintSignalIcon(p, e); break;
    case SkinKind::kLayoutPictogram: PaintLayoutPictogram(p, e); break;
    case SkinKind::kShowModePictogram: PaintShowModePictogram(p, e); break;
    case SkinKind::kWipePictogram: PaintWipePictogram(p, e); break;
    case SkinKind::kTbarChannel: PaintTbarChannel(p, e); break;
    case SkinKind::kTbarThumb: PaintTbarThumb(p, e); break;
  }
  return pixmap;
}

}  // namespace

void SetSkinOverrideDir(const QString& dir) {
  OverrideDir() = dir;
  Cache().clear();
}

int SkinPicturesKept() { return static_cast<int>(Cache().size()); }

QPixmap SkinBitmap(int id) {
  auto found = Cache().constFind(id);
  if (found != Cache().constEnd()) return *found;
  const SkinEntry* entry = FindSkinEntry(id);
  QPixmap pixmap;
  if (!OverrideDir().isEmpty()) {
    // On a dense screen "<id>@2x.png" (twice the size) is preferred to "<id>.png".
    const QDir dir(OverrideDir());
    const qreal ratio = SkinPixelRatio();
    const QString twin = dir.filePath(QString::number(id) + "@2x.png");
    const QString path = dir.filePath(QString::number(id) + ".png");
    qreal loaded_ratio = 1.0;
    if (ratio > 1.0 && QFileInfo::exists(twin) && pixmap.load(twin)) loaded_ratio = 2.0;
    else if (QFileInfo::exists(path)) pixmap.load(path);
    if (!pixmap.isNull() && entry) {
      // The program lays its controls out for the table's sizes.
      const QSize wanted = QSize(entry->width, entry->height) * loaded_ratio;
      if (pixmap.size() != wanted)
        pixmap = pixmap.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    pixmap.setDevicePixelRatio(loaded_ratio);
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
