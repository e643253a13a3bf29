#include "nodehealth.h"

#include <gtest/gtest.h>

namespace {

struct TLookCase {
  bool Running;
  std::int64_t Last, Now;
  int Temperature;
  TReadingLook Reading, Temp;
};

constexpr auto Plain = TReadingLook::Plain;
constexpr auto Stale = TReadingLook::Stale;
constexpr auto Hot = TReadingLook::Hot;

TEST(NodeHealth, StaleAfterThreeSecondsOfARunHotFromSeventyDegrees) {
  const TLookCase cases[] = {
      {true, 1000, 1000, 25, Plain, Plain},    // a report just came
      {true, 1000, 4000, 25, Plain, Plain},    // exactly 3 s is not yet stale
      {true, 1000, 4001, 25, Stale, Stale},    // more than 3 s
      {false, 1000, 60000, 25, Plain, Plain},  // a stopped program has no stale rows
      {true, 1000, 1500, 69, Plain, Plain},    // just below the limit
      {true, 1000, 1500, 70, Plain, Hot},      // at the limit
      {true, 1000, 9000, 85, Stale, Hot},      // hot wins over stale for Temp
      {false, 1000, 9000, 70, Plain, Hot},     // hot also when stopped
      {true, 1000, 1000, -128, Plain, Plain},  // the coldest report
      {true, 5000, 1000, 25, Plain, Plain},    // a clock that went back is not stale
  };
  for (const TLookCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Running << " " << c.Last << " " << c.Now << " " << c.Temperature);
    EXPECT_EQ(ReadingLook(c.Running, c.Last, c.Now), c.Reading);
    EXPECT_EQ(TempLook(c.Running, c.Last, c.Now, c.Temperature), c.Temp);
  }
}

}  // namespace
