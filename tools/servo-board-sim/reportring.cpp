#include "reportring.h"

#include <algorithm>

void TReportRing::Push(const TPayloadStu& report) {
  FSlots[FProduced % Capacity] = report;
  ++FProduced;
}

std::vector<TPayloadStu> TReportRing::From(std::uint16_t seq, std::uint16_t count) const {
  if (seq >= Capacity) return {};
  const std::uint64_t behind = (FProduced % Capacity + Capacity - seq) % Capacity;
  if (behind == 0 || behind > FProduced) return {};  // nothing new, or not produced yet
  const std::uint64_t first = FProduced - behind;
  const std::uint64_t last = first + std::min<std::uint64_t>(count, behind);
  std::vector<TPayloadStu> reports;
  reports.reserve(static_cast<std::size_t>(last - first));
  for (std::uint64_t n = first; n < last; ++n) reports.push_back(FSlots[n % Capacity]);
  return reports;
}
