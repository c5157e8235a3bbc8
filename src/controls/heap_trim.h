// A moment after a window of the program closed, drops the pictures Qt drew
// for windows that are gone and gives the heap's free pages back to the
// system.
//
// Qt's cache of drawn pictures keys what the style draws (the frames of
// lists and fields, the buttons' icons) by the palette and the icon it was
// drawn with, and a window made may have palettes and icons of its own: the
// pictures of a window closed are never asked for again, yet stayed until
// the cache's limit of 10 MB was reached (on the X platform about 2 kB for
// each message box, its buttons' icons). And a window that closes (a message
// box answered, the frame monitor with its rows, a panel window, a file
// dialog, a drop-down list) frees its widgets, pictures and texts mostly
// between blocks still in use: glibc keeps those pages resident and only the
// free top of the heap goes back by itself.
#pragma once

#include <QObject>
#include <QTimer>

namespace zv {

class HeapTrimAfterClose : public QObject {
 public:
  // Watches every window of the application while it lives.
  explicit HeapTrimAfterClose(QObject* parent = nullptr);
  ~HeapTrimAfterClose() override;

  // How long after the first window closed the cache is emptied and the
  // heap trimmed: the window closed is deleted by then, and a burst of
  // closes costs one trim.
  static constexpr int kDelayMs = 1000;
  // Trims done so far (the soak prints them).
  int Trims() const { return m_trims; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTimer m_timer;
  int m_trims = 0;
};

}  // namespace zv
