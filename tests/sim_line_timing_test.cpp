// The virtual sensor's model of a real line, on made-up moments: a reply's
// bytes never leave before the line could have carried them, and a frame
// never counts as in before its last byte could have arrived.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "sim/line_timing.h"
#include "sim/usb_adapter.h"

using namespace zema;
using namespace zema::sim;
using std::chrono::microseconds;
using std::chrono::nanoseconds;

namespace {

const LineClock::time_point kStart = LineClock::time_point(std::chrono::seconds(1000));

TEST(SimLineTimingTest, BurstsNeverHandOverAByteBeforeItsStopBit) {
  struct Case {
    std::size_t count;
    unsigned baud;
  };
  const Case cases[] = {{1, 57600}, {2, 57600}, {258, 57600}, {258, 4800}, {66, 19200},
                        {3, 9600},  {258, 38400}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " bytes at " << c.baud);
    std::size_t done = 0;
    LineClock::time_point previousDue = kStart;
    while (done < c.count) {
      const Burst burst = NextBurst(done, c.count, kStart, c.baud);
      ASSERT_GT(burst.end, done);
      ASSERT_LE(burst.end, c.count);
      // Its last byte is the latest: none of the burst is early.
      EXPECT_EQ(burst.due, kStart + LineTime(burst.end, c.baud));
      // Bursts are spaced like a FIFO's, not one per byte (the last may be
      // short; at a slow speed one byte takes longer than the spacing).
      if (burst.end < c.count && burst.end - done > 1) {
        EXPECT_GT(burst.due - previousDue, kBurstSpacing - LineTime(1, c.baud));
        EXPECT_LE(burst.due - previousDue, kBurstSpacing);
      }
      previousDue = burst.due;
      done = burst.end;
    }
    // The reply is complete exactly when the line would have delivered it.
    EXPECT_EQ(previousDue, kStart + LineTime(c.count, c.baud));
  }
  // 10 bits a byte, never rounded down.
  EXPECT_EQ(LineTime(261, 57600), nanoseconds(45312500));
  EXPECT_EQ(LineTime(1, 57600), nanoseconds(173612));
  EXPECT_EQ(LineTime(5, 0), nanoseconds(0));
}

TEST(SimLineTimingTest, AnAdapterHoldsAPacketUntilItIsFullOrItsTimerRunsOut) {
  using std::chrono::milliseconds;
  struct Packet {
    std::size_t end;
    nanoseconds due;  // after the start of the reply
  };
  struct Case {
    std::size_t count;
    unsigned baud;
    milliseconds latency;
    std::vector<Packet> packets;
  };
  const auto wire = [](std::size_t bytes) { return LineTime(bytes, 57600); };
  const Case cases[] = {
      // A block's reply: four full packets as they fill, the rest on the timer.
      {259,
       57600,
       milliseconds(16),
       {{62, wire(62)},
        {124, wire(124)},
        {186, wire(186)},
        {248, wire(248)},
        {259, wire(249) + milliseconds(16)}}},
      // A short reply waits the whole timer after its first byte.
      {2, 57600, milliseconds(16), {{2, wire(1) + milliseconds(16)}}},
      // A 1 ms timer sends what has come in every millisecond.
      {14,
       57600,
       milliseconds(1),
       {{6, wire(1) + milliseconds(1)},
        {12, wire(7) + milliseconds(1)},
        {14, wire(13) + milliseconds(1)}}},
      // Unpaced, the bytes are all there at once.
      {130,
       0,
       milliseconds(16),
       {{62, nanoseconds(0)}, {124, nanoseconds(0)}, {130, milliseconds(16)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.count << " bytes at " << c.baud << " baud, " << c.latency.count() << " ms");
    std::vector<std::pair<std::size_t, nanoseconds>> seen;
    for (std::size_t done = 0; done < c.count && seen.size() <= c.packets.size();) {
      const Burst packet = NextUsbPacket(done, c.count, kStart, c.baud, c.latency);
      seen.emplace_back(packet.end, packet.due - kStart);
      done = packet.end;
    }
    std::vector<std::pair<std::size_t, nanoseconds>> expected;
    for (const Packet& p : c.packets) expected.emplace_back(p.end, p.due);
    EXPECT_EQ(seen, expected);
  }
}

TEST(SimLineTimingTest, ArrivalsFollowTheLineNotThePty) {
  const unsigned baud = 9600;
  const auto byte = LineTime(1, baud);
  ArrivalModel model;
  // A 3-byte frame seen at once arrived one line time after it was seen.
  model.Received(3, kStart, baud);
  EXPECT_EQ(model.ArrivalOf(0), kStart + LineTime(3, baud));
  EXPECT_LE(model.ArrivalOf(2), kStart + byte);
  EXPECT_GE(model.ArrivalOf(2), kStart + byte - nanoseconds(1));
  // Bytes seen while the line would still be busy queue up behind.
  model.Received(4, kStart + byte, baud);
  EXPECT_EQ(model.ArrivalOf(0), kStart + LineTime(3, baud) + LineTime(4, baud));
  // After a quiet line they count from when they were seen.
  const auto later = kStart + std::chrono::seconds(1);
  model.Received(2, later, baud);
  EXPECT_EQ(model.ArrivalOf(0), later + LineTime(2, baud));
  // Without line timing they are in when seen.
  model.Received(5, later + microseconds(10), 0);
  EXPECT_EQ(model.ArrivalOf(0), later + microseconds(10));
  EXPECT_EQ(model.ArrivalOf(3), later + microseconds(10));
}

TEST(SimLineTimingTest, WakeMarginFollowsTheRecentPeakWithinItsLimit) {
  WakeLateness lateness;
  EXPECT_EQ(lateness.Margin(), nanoseconds(0));
  lateness.Observe(microseconds(80));
  EXPECT_EQ(lateness.Margin(), microseconds(80));
  lateness.Observe(microseconds(10));
  EXPECT_LT(lateness.Margin(), microseconds(80));
  EXPECT_GT(lateness.Margin(), microseconds(70));
  for (int i = 0; i < 200; ++i) lateness.Observe(microseconds(10));
  EXPECT_LE(lateness.Margin(), microseconds(11));
  lateness.Observe(std::chrono::milliseconds(30));  // one bad moment
  EXPECT_EQ(lateness.Margin(), WakeLateness::kMaxMargin);
  lateness.Observe(microseconds(-5));  // a wake-up on time
  EXPECT_GE(lateness.Margin(), nanoseconds(0));
}

}  // namespace
