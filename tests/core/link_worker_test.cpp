// The link worker on its own, without a window: requests run in the order
// they were made with the pacing pause between frames, results come back
// through the deliver function, and a cancel ends the running wait at once
// and drops everything asked before it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include <arpa/inet.h>

#include "fourch/fourch_state.h"
#include "link/frame_tap.h"
#include "link/link_worker.h"
#include "support/loopback_link.h"
#include "support/pty_pair.h"
#include "support/scripted_device.h"
#include "support/sent_times.h"
#include "support/udp_peer.h"

namespace zv {
namespace {

// Stands in for the window's event loop: continuations wait here until the
// test runs them.
class Inbox {
 public:
  LinkWorker::Deliver Deliver() {
    return [this](std::function<void()> then) {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_queue.push_back(std::move(then));
      m_ready.notify_one();
    };
  }
  // Runs the next continuation; false when none came within `wait_ms`.
  bool RunOne(int wait_ms) {
    std::function<void()> then;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      if (!m_ready.wait_for(lock, std::chrono::milliseconds(wait_ms), [this] { return !m_queue.empty(); }))
        return false;
      then = std::move(m_queue.front());
      m_queue.pop_front();
    }
    then();
    return true;
  }
  size_t Waiting() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_ready;
  std::deque<std::function<void()>> m_queue;
};

LinkTarget Loopback(uint8_t type) {
  LinkTarget target;
  target.device.SetIpText("127.0.0.1");
  target.device.device_type = type;
  target.device.device_id = 1;
  target.chosen = true;
  return target;
}

TEST(LinkWorkerTest, CommandsLeaveInOrderAtLeastTenMillisecondsApart) {
  test::UdpPeer device;
  ASSERT_TRUE(device.ok());
  CnComm port;
  Inbox inbox;
  test::SentTimes sent;
  LinkWorker worker(test::LoopbackConfig(device.port()), inbox.Deliver(), port);
  // A burst, as fast clicks or a T-bar drag make it.
  for (uint8_t n = 1; n <= 6; ++n)
    worker.Submit(Loopback(0xA5), [n](LinkState& link) -> std::function<void()> {
      const uint8_t source[] = {n};
      link.SendCommand(0x80, source);
      return {};
    });
  for (uint8_t n = 1; n <= 6; ++n) {
    const auto d = device.Receive(3000);
    ASSERT_TRUE(d) << "frame " << int(n);
    ASSERT_EQ(d->bytes.size(), 21u);
    EXPECT_EQ(d->bytes[4], 0xA5);  // device type
    EXPECT_EQ(d->bytes[5], 0x01);  // device id
    EXPECT_EQ(d->bytes[16], 0x80);  // programme source
    EXPECT_EQ(d->bytes[17], n) << "in the order they were asked";
  }
  // Each frame is followed by a 10 ms pause before the next leaves.
  const auto sent_at = sent.Times(6);
  ASSERT_EQ(sent_at.size(), 6u);
  for (size_t i = 1; i < sent_at.size(); ++i)
    EXPECT_GE(sent_at[i] - sent_at[i - 1], std::chrono::milliseconds(10)) << "between frames " << i << " and " << i + 1;
}

// One device's pause holds back only that device: with two devices, the
// second's frames leave while the first waits out its pause, each device
// gets its frames in order and 10 ms apart, and a request that is not for
// one device (a search) waits for everything asked before it and lets
// nothing asked after it pass.
TEST(LinkWorkerTest, APauseHoldsBackOnlyItsDeviceAndASearchKeepsItsPlace) {
  struct Sent {
    uint32_t device;
    uint8_t n;
    std::chrono::steady_clock::time_point at;
  };
  std::mutex mutex;
  std::vector<Sent> sent;
  std::vector<uint8_t> order;  // frames and the search, as they ran
  const int token = FrameRecorder::Instance().Listen([&](const TappedFrame& frame) {
    if (frame.direction != FrameDirection::kSent || frame.bytes.size() != 21) return;
    std::lock_guard lock(mutex);
    sent.push_back({frame.peer.sin_addr.s_addr, frame.bytes[17], std::chrono::steady_clock::now()});
    order.push_back(frame.bytes[17]);
  });
  test::UdpPeer device;  // both devices' frames are sent to its port
  ASSERT_TRUE(device.ok());
  CnComm port;
  Inbox inbox;
  {
    LinkWorker worker(test::LoopbackConfig(device.port()), inbox.Deliver(), port);
    std::promise<void> all_asked;
    std::shared_future<void> asked = all_asked.get_future().share();
    // The worker is held until every request is queued, so the order below
    // is the queue's, whatever the machine's load.
    worker.Submit(Loopback(0xA5), [asked](LinkState&) -> std::function<void()> {
      asked.wait();
      return {};
    });
    LinkTarget second = Loopback(0xA5);
    second.device.SetIpText("127.0.0.2");
    const auto command = [](uint8_t n) {
      return [n](LinkState& link) -> std::function<void()> {
        const uint8_t source[] = {n};
        link.SendCommand(0x80, source);
        return {};
      };
    };
    // First device 1, 2, 3; second device 11, 12; a search; first device 4.
    for (uint8_t n : {1, 2, 3}) worker.Submit(Loopback(0xA5), command(n));
    for (uint8_t n : {11, 12}) worker.Submit(second, command(n));
    worker.Submit(LinkTarget{}, [&](LinkState&) -> std::function<void()> {
      std::lock_guard lock(mutex);
      order.push_back(0);
      return {};
    });
    worker.Submit(Loopback(0xA5), command(4));
    std::promise<void> done;
    worker.Submit(Loopback(0xA5), [&done](LinkState&) -> std::function<void()> {
      done.set_value();
      return {};
    });
    all_asked.set_value();
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  }
  FrameRecorder::Instance().Unlisten(token);
  std::lock_guard lock(mutex);
  const auto position = [&](uint8_t n) { return std::find(order.begin(), order.end(), n) - order.begin(); };
  ASSERT_EQ(order.size(), 7u);
  EXPECT_LT(position(11), position(2)) << "the second device did not wait for the first one's pause";
  for (const auto& [before, after] : std::vector<std::pair<uint8_t, uint8_t>>{
           {1, 2}, {2, 3}, {11, 12}, {3, 0}, {12, 0}, {0, 4}})
    EXPECT_LT(position(before), position(after)) << int(before) << " before " << int(after);
  for (const uint32_t address : {inet_addr("127.0.0.1"), inet_addr("127.0.0.2")}) {
    std::vector<std::chrono::steady_clock::time_point> times;
    for (const Sent& s : sent)
      if (s.device == address) times.push_back(s.at);
    for (size_t i = 1; i < times.size(); ++i)
      EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(10)) << "to one device, frame " << i + 1;
  }
}

TEST(LinkWorkerTest, AReadBackComesBackThroughTheDeliverFunction) {
  std::vector<uint8_t> reply(263, 0);
  reply[0] = 0xA5;
  reply[1] = 0x6C;
  reply[16] = 0x90;  // read state
  reply[22] = 7;     // show mode
  test::ScriptedDevice device({{0x90, {{reply}}}});
  ASSERT_TRUE(device.ok());
  CnComm port;
  Inbox inbox;
  LinkWorker worker(test::LoopbackConfig(device.port()), inbox.Deliver(), port);
  // The frame monitor listens meanwhile: the worker's taps and this thread's
  // reads of the recorder meet (the thread sanitizer build runs this too).
  FrameRecorder& recorder = FrameRecorder::Instance();
  recorder.Clear();  // what earlier tests left
  std::mutex tapped_mutex;
  std::condition_variable tapped_cv;
  size_t tapped = 0;
  const int token = recorder.Listen([&](const TappedFrame&) {
    std::lock_guard<std::mutex> lock(tapped_mutex);
    ++tapped;
    tapped_cv.notify_all();
  });
  std::optional<uint8_t> mode;
  bool answered = false;
  worker.Submit(Loopback(0x60), [&](LinkState& link) -> std::function<void()> {
    std::optional<TriskStateReply> r = ReadTriskState(link, nullptr);
    // Only the continuation touches the test's variables: it runs here.
    return [&, r] {
      answered = r.has_value();
      if (r) mode = r->show_mode;
    };
  });
  {
    // This thread reads the recorder as soon as the worker has tapped both.
    std::unique_lock<std::mutex> lock(tapped_mutex);
    tapped_cv.wait_for(lock, std::chrono::seconds(5), [&] { return tapped >= 2; });
  }
  std::vector<TappedFrame> frames;
  recorder.CopySince(0, &frames);
  ASSERT_TRUE(inbox.RunOne(5000));
  EXPECT_TRUE(answered);
  EXPECT_EQ(mode, std::optional<uint8_t>(7));
  EXPECT_TRUE(worker.Idle());
  recorder.Unlisten(token);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].direction, FrameDirection::kSent);
  EXPECT_EQ(ntohs(frames[0].peer.sin_port), device.port());
  EXPECT_EQ(frames[0].bytes.size(), 20u);
  EXPECT_EQ(frames[1].direction, FrameDirection::kReceived);
  EXPECT_EQ(frames[1].bytes, reply);
}

TEST(LinkWorkerTest, CancelEndsTheWaitAtOnceAndDropsWhatWasAsked) {
  test::UdpPeer device;  // never answers
  ASSERT_TRUE(device.ok());
  CnComm port;
  Inbox inbox;
  LinkWorker worker(test::LoopbackConfig(device.port()), inbox.Deliver(), port);
  std::promise<void> wait_ended;
  bool continued = false;
  worker.Submit(Loopback(0x60), [&](LinkState& link) -> std::function<void()> {
    const uint8_t request[20] = {0xA5, 0x6C, 20};
    // A window far longer than the test may take.
    link.ReceiveWithTimeout(request, 64, 60000, nullptr);
    wait_ended.set_value();
    return [&] { continued = true; };
  });
  // A frame queued behind the wait: it must never leave.
  worker.Submit(Loopback(0x60), [](LinkState& link) -> std::function<void()> {
    link.SendCommand(0x94);
    return {};
  });
  ASSERT_TRUE(device.Receive(3000)) << "the wait has begun";
  worker.CancelAll();
  ASSERT_EQ(wait_ended.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
  while (inbox.RunOne(0)) {
  }
  EXPECT_FALSE(continued) << "no result of a cancelled request";

  // The worker serves the next request as before, and its frame is the next
  // to arrive: the worker sends in order, so the dropped 0x94 would be first.
  worker.Submit(Loopback(0x60), [](LinkState& link) -> std::function<void()> {
    link.SendCommand(0x92);
    return {};
  });
  const auto d = device.Receive(3000);
  ASSERT_TRUE(d);
  ASSERT_EQ(d->bytes.size(), 20u);
  EXPECT_EQ(d->bytes[16], 0x92) << "the queued frame was dropped";
}

TEST(LinkWorkerTest, DestroyedWhileWaitingEndsWithoutTheResult) {
  test::UdpPeer device;
  ASSERT_TRUE(device.ok());
  CnComm port;
  Inbox inbox;
  auto worker = std::make_unique<LinkWorker>(test::LoopbackConfig(device.port()), inbox.Deliver(), port);
  worker->Submit(Loopback(0xA1), [](LinkState& link) -> std::function<void()> {
    const uint8_t request[20] = {0xA5, 0x6C, 20};
    link.ReceiveWithTimeout(request, 64, 60000, nullptr);
    return [] { ADD_FAILURE() << "a result after the worker was destroyed"; };
  });
  ASSERT_TRUE(device.Receive(3000));
  worker.reset();  // joins the thread; a wait that did not end would hang here
  EXPECT_EQ(inbox.Waiting(), 0u);
}

// A serial line whose far end stopped reading: a write waits for room that
// never comes. Whatever stops the request (the serial port disconnected,
// the panel gone, the program ending) ends that wait at once instead of
// after the write time-out; a disconnect drops the serial requests queued
// behind it and keeps the network ones.
TEST(LinkWorkerTest, AWriteTheLineDoesNotTakeEndsWhenItsRequestIsStopped) {
  enum class Stop { kDisconnect, kCancelAll, kDestroy };
  for (Stop stop : {Stop::kDisconnect, Stop::kCancelAll, Stop::kDestroy}) {
    SCOPED_TRACE(static_cast<int>(stop));
    test::PtyPair pty;
    ASSERT_TRUE(pty.OpenSecondOpener());
    test::UdpPeer device;
    ASSERT_TRUE(device.ok());
    CnComm port;
    Inbox inbox;
    auto worker = std::make_unique<LinkWorker>(test::LoopbackConfig(device.port()),
                                               inbox.Deliver(), port);
    LinkTarget serial = Loopback(0x82);
    serial.mode = kModeSerial;
    std::promise<bool> opened;
    worker->Submit(serial, [&](LinkState& link) -> std::function<void()> {
      opened.set_value(link.m_serial_port.Open(pty.slave_path, 115200));
      return {};
    });
    ASSERT_TRUE(opened.get_future().get());
    ASSERT_TRUE(pty.FillLine());

    std::promise<void> writing;
    std::promise<uint32_t> written;
    std::atomic<int> later_ran{0};
    worker->Submit(serial, [&](LinkState& link) -> std::function<void()> {
      writing.set_value();
      written.set_value(link.m_serial_port.Write("4V1,4.", 6));
      return {};
    });
    for (int i = 0; i < 2; ++i)
      worker->Submit(serial, [&](LinkState&) -> std::function<void()> {
        later_ran.fetch_add(1);
        return {};
      });
    worker->Submit(Loopback(0x60), [](LinkState& link) -> std::function<void()> {
      link.SendCommand(0x92);
      return {};
    });
    writing.get_future().wait();
    std::future<uint32_t> wrote = written.get_future();
    std::thread destroying;
    switch (stop) {
      case Stop::kDisconnect: EXPECT_EQ(worker->DropSerialRequests(), 3) << "the write and two behind it"; break;
      case Stop::kCancelAll: worker->CancelAll(); break;
      case Stop::kDestroy: destroying = std::thread([&] { worker.reset(); }); break;
    }
    // Well inside the 10 s write time-out.
    ASSERT_EQ(wrote.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(wrote.get(), 0u) << "the line took nothing";
    if (destroying.joinable()) destroying.join();
    if (stop == Stop::kDisconnect) {
      const auto d = device.Receive(3000);
      ASSERT_TRUE(d) << "the network request behind them still ran";
      EXPECT_EQ(d->bytes[16], 0x92);
    }
    worker.reset();
    EXPECT_EQ(later_ran.load(), 0) << "the serial requests queued behind it were dropped";
  }
}

}  // namespace
}  // namespace zv
