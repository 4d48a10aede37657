// Fault descriptions of the virtual sensor: how --fault texts are read and
// which commands a fault hits.
#include <gtest/gtest.h>

#include "sim/fault_plan.h"

using namespace zema;
using namespace zema::sim;

namespace {

TEST(SimFaultPlanTest, ParsesFaultTexts) {
  struct Case {
    const char* text;
    FaultKind kind;
    int nth, code, delayMs;
  };
  const Case cases[] = {
      {"nth=5:kind=no-reply", FaultKind::kNoReply, 5, 0, 1500},
      {"code=0x84:kind=bad-checksum", FaultKind::kBadChecksum, 0, 0x84, 1500},
      {"kind=delay:ms=2500:code=134", FaultKind::kDelay, 0, 0x86, 2500},
      {"kind=cut-short", FaultKind::kCutShort, 0, 0, 1500},
      {"kind=wrong-first-byte:nth=1", FaultKind::kWrongFirstByte, 1, 0, 1500},
      {"kind=hang-up:code=0x88:nth=2", FaultKind::kHangUp, 2, 0x88, 1500},
      {"kind=store-wrong:code=0x82", FaultKind::kStoreWrong, 0, 0x82, 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseFault(c.text, plan, error)) << error;
    ASSERT_EQ(plan.commands.size(), 1u);
    EXPECT_EQ(plan.commands[0].kind, c.kind);
    EXPECT_EQ(plan.commands[0].nth, c.nth);
    EXPECT_EQ(plan.commands[0].code, c.code);
    EXPECT_EQ(plan.commands[0].delayMs, c.delayMs);
  }
}

TEST(SimFaultPlanTest, ParsesHandshakeFaults) {
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(ParseFault("handshake=nak", plan, error)) << error;
  EXPECT_EQ(plan.handshake, HandshakeFault::kNak);
  ASSERT_TRUE(ParseFault("handshake=silence", plan, error)) << error;
  EXPECT_EQ(plan.handshake, HandshakeFault::kSilence);
  EXPECT_TRUE(plan.commands.empty());
}

TEST(SimFaultPlanTest, RefusesWhatItDoesNotUnderstand) {
  for (const char* text : {"", "kind=explode", "nth=3", "kind=no-reply:nth=0",
                           "kind=no-reply:nth=x", "kind=no-reply:code=0x80",
                           "kind=no-reply:code=0x89", "kind=delay:ms=-1", "kind=no-reply:when=now",
                           "kind", "handshake=ack", "handshake=nak:nth=1", "nth=1:handshake=nak",
                           "kind=no-reply:nth=5x"}) {
    SCOPED_TRACE(text);
    FaultPlan plan;
    std::string error;
    EXPECT_FALSE(ParseFault(text, plan, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(plan.commands.empty());
    EXPECT_EQ(plan.handshake, HandshakeFault::kNone);
  }
}

TEST(SimFaultPlanTest, TrackerHitsTheNamedCommands) {
  FaultTracker tracker;
  FaultPlan plan;
  plan.commands.push_back({FaultKind::kNoReply, 3, 0, 0});           // 3rd command
  plan.commands.push_back({FaultKind::kBadChecksum, 0, 0x83, 0});    // every 0x83
  plan.commands.push_back({FaultKind::kCutShort, 2, 0x84, 0});       // 2nd 0x84
  plan.commands.push_back({FaultKind::kStoreWrong, 0, 0x86, 0});     // every 0x86
  tracker.SetPlan(plan);

  struct Step {
    int code;
    bool hasReplyFault;
    FaultKind kind;
    bool storeWrong;
  };
  const Step steps[] = {
      {0x84, false, {}, false},
      {0x83, true, FaultKind::kBadChecksum, false},
      {0x83, true, FaultKind::kNoReply, false},  // the 3rd command: first match wins
      {0x84, true, FaultKind::kCutShort, false},
      {0x84, false, {}, false},
      {0x86, false, {}, true},
      {0x88, false, {}, false},
  };
  int index = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(index++);
    const auto hit = tracker.OnCommand(step.code);
    ASSERT_EQ(hit.reply.has_value(), step.hasReplyFault);
    if (hit.reply) {
      EXPECT_EQ(hit.reply->kind, step.kind);
    }
    EXPECT_EQ(hit.storeWrong, step.storeWrong);
  }
}

}  // namespace
