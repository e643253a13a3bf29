#include "timebase.h"

#include <gtest/gtest.h>

namespace {

struct TElapsedCase {
  const char* Name;
  std::uint16_t From, To;
  std::int64_t WallMs;
  std::int64_t BoardMs;
};

class BoardElapsedTest : public testing::TestWithParam<TElapsedCase> {};

TEST_P(BoardElapsedTest, CountsTheBoardsMillisecondsWithUnseenWraps) {
  const TElapsedCase& c = GetParam();
  EXPECT_EQ(BoardElapsedMs(c.From, c.To, c.WallMs), c.BoardMs);
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, BoardElapsedTest,
    testing::Values(TElapsedCase{"WrapSeenOneSecondLater", 65000, 200, 1000, 736},
                    TElapsedCase{"WrapSeenSeventySecondsLater", 65000, 200, 70000, 66272},
                    TElapsedCase{"OneTickBackIsAlmostAWholePeriod", 500, 499, 0, 65535},
                    TElapsedCase{"SameTickNoTime", 1234, 1234, 0, 0},
                    TElapsedCase{"ClockJustShortOfAPeriodBeyond", 0, 100, 100 + 65535, 100},
                    TElapsedCase{"ClockExactlyAPeriodBeyond", 0, 100, 100 + 65536, 100 + 65536},
                    TElapsedCase{"ThreeUnseenWraps", 0, 100, 100 + 3 * 65536 + 999, 100 + 3 * 65536},
                    TElapsedCase{"ComputerClockWentBack", 10, 20, -5000, 10},
                    TElapsedCase{"FortyDaysWithoutAReport", 0, 0, 40LL * 86400000, 40LL * 86400000 / 65536 * 65536}),
    [](const testing::TestParamInfo<TElapsedCase>& info) { return std::string(info.param.Name); });

TEST(TimeBase, WallTimeIsTruncatedTowardZero) {
  const TDateTime t0 = 45000.25;
  EXPECT_EQ(WallElapsedMs(t0, t0 + 1000.9 / MSecsPerDay), 1000);
  EXPECT_EQ(WallElapsedMs(t0, t0 - 1000.9 / MSecsPerDay), -1000);
  EXPECT_EQ(WallElapsedMs(t0, t0), 0);
}

TEST(TimeBase, AdvancesByTheBoardsClockNotTheComputers) {
  const TDateTime t0 = 45000.5;
  EXPECT_NEAR(AdvancedTimeBase(t0, 65000, 200, t0 + 1000 / MSecsPerDay), t0 + 736 / MSecsPerDay, 1e-12);
  EXPECT_NEAR(AdvancedTimeBase(t0, 65000, 200, t0 + 70000 / MSecsPerDay), t0 + 66272 / MSecsPerDay, 1e-12);
  EXPECT_NEAR(AdvancedTimeBase(t0, 1, 0, t0), t0 + 65535 / MSecsPerDay, 1e-12);
}

TEST(TimeBase, SuccessiveReportsAreSpacedByTheirTicks) {
  TDateTime base = 45000.5;
  const TDateTime start = base;
  std::uint16_t tick = 65500;
  for (int i = 0; i < 100; ++i) {  // 100 reports 20 ms apart, through the wrap
    const std::uint16_t next = static_cast<std::uint16_t>(tick + 20);
    base = AdvancedTimeBase(base, tick, next, start + (i + 1) * 20.5 / MSecsPerDay);
    tick = next;
  }
  // Days as a double near 45000 resolve about 0.6 us; each step may round.
  EXPECT_NEAR((base - start) * MSecsPerDay, 2000, 0.05);
}

TEST(TimeBase, WallClockSecondsCountFrom1970) {
  EXPECT_DOUBLE_EQ(WallClockSeconds(25569.0), 0.0);
  EXPECT_DOUBLE_EQ(WallClockSeconds(25569.5), 43200.0);
  EXPECT_NEAR(WallClockSeconds(45000.0 + 30000 / MSecsPerDay) - WallClockSeconds(45000.0), 30.0, 1e-6);
}

}  // namespace
