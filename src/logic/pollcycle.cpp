#include "pollcycle.h"

#include <algorithm>

std::int32_t PollSizeFor(int nodeCount) {
  const std::int64_t wanted = static_cast<std::int64_t>(std::max(nodeCount, 0)) * ReportsPerNode;
  return static_cast<std::int32_t>(std::min<std::int64_t>(wanted, MaxPollSize));
}

std::optional<TPollRequest> TickPoll(std::int32_t seq, std::int32_t& size, std::int32_t& left, int nodeCount) {
  if (left > 0) {
    if (left != size) return std::nullopt;
  } else {
    size = PollSizeFor(nodeCount);
    left = size;
  }
  return TPollRequest{static_cast<std::uint16_t>(seq), static_cast<std::uint16_t>(size)};
}

void CountReport(std::int32_t& seq, std::int32_t& left) {
  seq = (seq + 1) % PollSeqPeriod;
  if (left > 0) --left;
}
