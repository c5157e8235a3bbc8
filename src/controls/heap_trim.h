// Gives the heap's free pages back to the system a moment after a window of
// the program closed. A window that closes (a message box answered, the
// frame monitor with its rows, a panel window, a file dialog, a drop-down
// list) frees its widgets, pictures and texts, but most of that lies between
// blocks still in use: glibc keeps those pages resident and only the free
// top of the heap goes back by itself.
#pragma once

#include <QObject>
#include <QTimer>

namespace zv {

class HeapTrimAfterClose : public QObject {
 public:
  // Watches every window of the application while it lives.
  explicit HeapTrimAfterClose(QObject* parent = nullptr);
  ~HeapTrimAfterClose() override;

  // How long after the first window closed the heap is trimmed: the window
  // closed is deleted by then, and a burst of closes costs one trim.
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
