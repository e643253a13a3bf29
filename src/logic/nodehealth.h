// How a node's reported values look in the node list: grey once the node
// has not reported for a while during a run (the values are old), red for
// a temperature at or above the warning limit.
#pragma once

#include <cstdint>

// A row whose last report is older than this, while the program runs, is stale.
constexpr std::int64_t StaleAfterMs = 3000;
// A temperature of this many degrees Celsius or more is hot.
constexpr int HotTemperature = 70;

enum class TReadingLook { Plain, Stale, Hot };

// The look of Pos and Current: stale while running and the last report is
// more than StaleAfterMs old (by a monotonic clock); plain otherwise.
TReadingLook ReadingLook(bool running, std::int64_t lastReportMs, std::int64_t nowMs);

// The look of Temp: hot at HotTemperature or more, whatever its age (the
// warning matters more than how old it is); otherwise as ReadingLook.
TReadingLook TempLook(bool running, std::int64_t lastReportMs, std::int64_t nowMs, int temperature);
