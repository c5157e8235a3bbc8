#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace zv {

// Every bitmap id resolves here, to a pixmap of the size the program expects:
// a PNG named "<id>.png" in the override folder when there is one, otherwise
// the default skin painted from the skin table. Unknown ids give a null pixmap.
QPixmap SkinBitmap(int id);
QIcon SkinIcon(int id);
// The folder whose PNG files override the default skin; empty for none.
void SetSkinOverrideDir(const QString& dir);
// How many skin pictures are kept drawn (one per id asked for, at most one
// per id of the skin table).
int SkinPicturesKept();

}  // namespace zv
