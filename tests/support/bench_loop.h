// The benchmarks' event loop: run it until something holds, or for a time.
// A 1 ms timer wakes it, so it sleeps between checks instead of spinning.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

namespace zv::test {

inline void RunUntil(const std::function<bool()>& done) {
  QTimer wake;
  wake.start(1);
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

inline void RunFor(int ms) {
  QElapsedTimer t;
  t.start();
  RunUntil([&] { return t.elapsed() >= ms; });
}

}  // namespace zv::test
