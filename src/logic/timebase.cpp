#include "timebase.h"

#include <cmath>

namespace {

constexpr double UnixEpochDays = 25569.0;  // 1970-01-01 on the date-time scale
constexpr double SecondsPerDay = 86400.0;

}  // namespace

std::int64_t WallElapsedMs(TDateTime from, TDateTime to) {
  return static_cast<std::int64_t>(std::trunc((to - from) * MSecsPerDay));
}

std::int64_t BoardElapsedMs(std::uint16_t fromTick, std::uint16_t toTick, std::int64_t wallElapsedMs) {
  std::int64_t elapsed = static_cast<std::int64_t>(toTick) - fromTick;
  if (elapsed < 0) elapsed += TickPeriodMs;
  const std::int64_t unseen = wallElapsedMs - elapsed;
  if (unseen >= TickPeriodMs) elapsed += unseen / TickPeriodMs * TickPeriodMs;
  return elapsed;
}

TDateTime AdvancedTimeBase(TDateTime base, std::uint16_t fromTick, std::uint16_t toTick, TDateTime now) {
  const std::int64_t elapsed = BoardElapsedMs(fromTick, toTick, WallElapsedMs(base, now));
  return base + static_cast<double>(elapsed) / MSecsPerDay;
}

double WallClockSeconds(TDateTime value) { return (value - UnixEpochDays) * SecondsPerDay; }
