// The reports the running program produced, waiting to be polled. Reports are
// numbered from 0 at Start, modulo 512, and the ring keeps the newest 512.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame.h"

class TReportRing {
 public:
  static constexpr std::size_t Capacity = 512;

  // Forgets every report and numbers the next one 0.
  void Reset() { FProduced = 0; }
  void Push(const TPayloadStu& report);
  // Reports produced since the last Reset.
  std::uint64_t Produced() const { return FProduced; }

  // The reports from number seq on, at most count. A poll names the number
  // of the next report it has not yet received; a number equal to the one the
  // next report will get means "nothing new" (never the report 512 behind),
  // so a poll reaches back at most 511 reports.
  std::vector<TPayloadStu> From(std::uint16_t seq, std::uint16_t count) const;

 private:
  std::array<TPayloadStu, Capacity> FSlots{};
  std::uint64_t FProduced = 0;
};
