// The poll cycle while the board's program runs: each timer tick asks the
// board for the reports it has not sent yet, four per node and at most 256
// at a time, numbered by the reports received since Start (modulo 512). A
// cycle from which nothing has come back is asked for again; a cycle that is
// partly answered is waited for.
#pragma once

#include <cstdint>
#include <optional>

constexpr int ReportsPerNode = 4;
constexpr int MaxPollSize = 256;
constexpr int PollSeqPeriod = 512;

// Reports asked for per cycle with `nodeCount` nodes in the list.
std::int32_t PollSizeFor(int nodeCount);

struct TPollRequest {
  std::uint16_t Seq = 0;
  std::uint16_t Count = 0;

  bool operator==(const TPollRequest& o) const { return Seq == o.Seq && Count == o.Count; }
};

// What one timer tick sends, if anything. A finished cycle (nothing left)
// starts a new one sized for `nodeCount` nodes; an unanswered cycle is sent
// again; a partly answered one sends nothing.
std::optional<TPollRequest> TickPoll(std::int32_t seq, std::int32_t& size, std::int32_t& left, int nodeCount);

// One report came in: the sequence moves on (511 wraps to 0) and the cycle
// has one report less to wait for.
void CountReport(std::int32_t& seq, std::int32_t& left);
