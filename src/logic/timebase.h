// The board's 16-bit millisecond tick turned into local date-times. The
// board counts milliseconds modulo 65536; the computer's clock only tells
// how many whole 65.536-second wraps went by unseen between two ticks.
#pragma once

#include <cstdint>

#include "datetime.h"

constexpr std::int64_t TickPeriodMs = 65536;

// Whole milliseconds from `from` to `to` by the computer's clock, the
// fraction dropped toward 0.
std::int64_t WallElapsedMs(TDateTime from, TDateTime to);

// Milliseconds the board's clock moved from `fromTick` to `toTick`: the
// difference modulo 65536, plus as many whole periods as `wallElapsedMs`
// says lie beyond it.
std::int64_t BoardElapsedMs(std::uint16_t fromTick, std::uint16_t toTick, std::int64_t wallElapsedMs);

// The date-time that stands for `toTick`, given the one (`base`) that stood
// for `fromTick` and the current date-time.
TDateTime AdvancedTimeBase(TDateTime base, std::uint16_t fromTick, std::uint16_t toTick, TDateTime now);

// A date-time as seconds of the local wall clock since 1970-01-01 00:00: the
// charts' time axis, which labels them as a UTC time of day and so shows the
// local time without a time-zone conversion per point.
double WallClockSeconds(TDateTime value);
