#include "pollcycle.h"

#include <gtest/gtest.h>

namespace {

struct TSizeCase {
  int Nodes;
  std::int32_t Size;
};

TEST(PollCycle, AsksForFourReportsPerNodeAtMost256) {
  const TSizeCase cases[] = {{0, 0},    {1, 4},    {10, 40},       {63, 252}, {64, 256},
                             {65, 256}, {70, 256}, {1 << 30, 256}, {-3, 0}};
  for (const TSizeCase& c : cases) EXPECT_EQ(PollSizeFor(c.Nodes), c.Size) << c.Nodes;
}

TEST(PollCycle, FirstTickStartsACycleFromTheSequence) {
  std::int32_t size = 40, left = 40;
  std::int32_t seq = 0;
  // After Start the counters already hold a cycle that nothing has answered.
  EXPECT_EQ(TickPoll(seq, size, left, 10), (TPollRequest{0, 40}));
  EXPECT_EQ(size, 40);
  EXPECT_EQ(left, 40);
}

TEST(PollCycle, UnansweredCycleIsAskedForAgainOnEveryTick) {
  std::int32_t seq = 17, size = 40, left = 40;
  for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(TickPoll(seq, size, left, 10), (TPollRequest{17, 40}));
}

TEST(PollCycle, PartlyAnsweredCycleSendsNothingUntilItsLastReport) {
  std::int32_t seq = 0, size = 40, left = 40;
  for (int i = 0; i < 39; ++i) CountReport(seq, left);
  EXPECT_EQ(left, 1);
  EXPECT_EQ(TickPoll(seq, size, left, 10), std::nullopt);
  EXPECT_EQ(TickPoll(seq, size, left, 10), std::nullopt);
  CountReport(seq, left);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(TickPoll(seq, size, left, 12), (TPollRequest{40, 48})) << "a new cycle sized for the nodes now";
  EXPECT_EQ(left, 48);
}

TEST(PollCycle, NoNodesPollForNothingFromTheCurrentSequence) {
  std::int32_t seq = 300, size = 0, left = 0;
  for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(TickPoll(seq, size, left, 0), (TPollRequest{300, 0}));
  EXPECT_EQ(left, 0);
}

TEST(PollCycle, SequenceWrapsAt512AndLeftStopsAtZero) {
  std::int32_t seq = 511, left = 0;
  CountReport(seq, left);
  EXPECT_EQ(seq, 0);
  EXPECT_EQ(left, 0) << "unasked reports do not drive the count below 0";
  seq = 510;
  left = 2;
  CountReport(seq, left);
  CountReport(seq, left);
  EXPECT_EQ(seq, 0);
  EXPECT_EQ(left, 0);
}

}  // namespace
