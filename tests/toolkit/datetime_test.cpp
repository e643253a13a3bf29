#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>

#include "datetime.h"

namespace {

struct TMomentCase {
  int Year, Month, Day, Hour, Minute, Second, MSec;
  double Days;
};

class DateTimeTest : public testing::TestWithParam<TMomentCase> {};

QDateTime LocalMoment(const TMomentCase& c) {
  return QDateTime(QDate(c.Year, c.Month, c.Day), QTime(c.Hour, c.Minute, c.Second, c.MSec), Qt::LocalTime);
}

TEST_P(DateTimeTest, CountsDaysFromTheEpochInLocalTime) {
  EXPECT_NEAR(DateTimeFromQDateTime(LocalMoment(GetParam())), GetParam().Days, 1e-9);
}

TEST_P(DateTimeTest, ConvertsBackToTheSameWallClock) {
  EXPECT_EQ(QDateTimeFromDateTime(GetParam().Days), LocalMoment(GetParam()));
}

TEST_P(DateTimeTest, GivesTheChartItsUnixSeconds) {
  EXPECT_NEAR(DateTimeToUnixSeconds(GetParam().Days), LocalMoment(GetParam()).toMSecsSinceEpoch() / 1000.0, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Moments, DateTimeTest,
                         testing::Values(TMomentCase{1899, 12, 30, 0, 0, 0, 0, 0.0},
                                         TMomentCase{1899, 12, 31, 12, 0, 0, 0, 1.5},
                                         TMomentCase{1900, 1, 1, 6, 0, 0, 0, 2.25},
                                         TMomentCase{2000, 1, 1, 0, 0, 0, 0, 36526.0},
                                         TMomentCase{2024, 3, 15, 18, 0, 0, 0, 45366.75},
                                         TMomentCase{2024, 3, 15, 0, 0, 0, 500, 45366.0 + 500 / MSecsPerDay}));

TEST(DateTime, NowIsTheCurrentLocalDateTime) {
  const double before = DateTimeFromQDateTime(QDateTime::currentDateTime());
  const double now = Now();
  const double after = DateTimeFromQDateTime(QDateTime::currentDateTime());
  EXPECT_LE(before, now);
  EXPECT_LE(now, after);
}

TEST(DateTime, TakesOtherTimeZonesAsTheirLocalMoment) {
  const QDateTime utc(QDate(2024, 6, 1), QTime(10, 0), Qt::UTC);
  EXPECT_EQ(QDateTimeFromDateTime(DateTimeFromQDateTime(utc)).toUTC(), utc);
}

TEST(DateTime, RoundsToTheNearestMillisecondAcrossMidnight) {
  const double justBeforeMidnight = 45366.0 - 0.1 / MSecsPerDay;
  EXPECT_EQ(QDateTimeFromDateTime(justBeforeMidnight), QDateTime(QDate(2024, 3, 15), QTime(0, 0), Qt::LocalTime));
}

TEST(DateTime, ThirtySecondsIsTheChartWindow) {
  const double t = 45366.5;
  EXPECT_NEAR(DateTimeToUnixSeconds(t) - DateTimeToUnixSeconds(t - 30000 / MSecsPerDay), 30.0, 1e-3);
}

}  // namespace
