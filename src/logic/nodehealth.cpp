#include "nodehealth.h"

TReadingLook ReadingLook(bool running, std::int64_t lastReportMs, std::int64_t nowMs) {
  return running && nowMs - lastReportMs > StaleAfterMs ? TReadingLook::Stale : TReadingLook::Plain;
}

TReadingLook TempLook(bool running, std::int64_t lastReportMs, std::int64_t nowMs, int temperature) {
  if (temperature >= HotTemperature) return TReadingLook::Hot;
  return ReadingLook(running, lastReportMs, nowMs);
}
