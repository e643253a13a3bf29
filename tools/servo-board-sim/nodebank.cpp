#include "nodebank.h"

#include <algorithm>

namespace {

// The buses a bus code stands for, one bit each: CAN 1, RS485 2.
unsigned BusesOf(int bus) {
  switch (bus) {
    case 0: return 3;
    case 1: return 1;
    case 2: return 2;
    default: return 0;
  }
}

bool SharesBus(int nodeBus, int bus) { return nodeBus == bus || (BusesOf(nodeBus) & BusesOf(bus)) != 0; }

}  // namespace

bool TNodeBank::Add(TNodeEntry entry) {
  if (FEntries.size() >= MaxBoardNodes) return false;
  FEntries.push_back(entry);
  FServos.emplace_back();
  return true;
}

void TNodeBank::Clear() {
  FEntries.clear();
  FServos.clear();
}

void TNodeBank::Assign(const std::vector<TNodeEntry>& entries) {
  Clear();
  for (std::size_t i = 0; i < entries.size() && i < MaxBoardNodes; ++i) Add(entries[i]);
}

void TNodeBank::AdvanceTo(std::uint64_t ms) {
  if (ms <= FTimeMs) return;
  const double elapsed = static_cast<double>(ms - FTimeMs);
  for (TServoModel& servo : FServos) servo.Advance(elapsed);
  FTimeMs = ms;
}

std::vector<std::size_t> TNodeBank::Addressed(int bus, int addr) const {
  std::vector<std::size_t> hits;
  for (std::size_t i = 0; i < FEntries.size(); ++i) {
    const TNodeEntry& e = FEntries[i];
    if (SharesBus(e.Bus, bus) && (addr == 0 || e.Addr == addr)) hits.push_back(i);
  }
  return hits;
}
