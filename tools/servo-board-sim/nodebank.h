// The board's node table with one servo model per entry, kept on the board's
// millisecond clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "boardimage.h"
#include "servo.h"

class TNodeBank {
 public:
  // False when the table already holds MaxBoardNodes entries.
  bool Add(TNodeEntry entry);
  void Clear();
  // Replaces the table (entries beyond MaxBoardNodes are left out); every
  // servo starts anew.
  void Assign(const std::vector<TNodeEntry>& entries);

  std::size_t Count() const { return FEntries.size(); }
  const std::vector<TNodeEntry>& Entries() const { return FEntries; }
  const TNodeEntry& Entry(std::size_t i) const { return FEntries[i]; }
  const TServoModel& Servo(std::size_t i) const { return FServos[i]; }
  void Command(std::size_t i, double angleDeg) { FServos[i].Command(angleDeg); }

  // Moves every servo on to the given board time; earlier times change nothing.
  void AdvanceTo(std::uint64_t ms);

  // The entries that an instruction for this bus code and address reaches:
  // address 0 stands for every node of the bus; bus 0 is both buses, and a
  // node on both buses is reached over either of them.
  std::vector<std::size_t> Addressed(int bus, int addr) const;

 private:
  std::vector<TNodeEntry> FEntries;
  std::vector<TServoModel> FServos;
  std::uint64_t FTimeMs = 0;
};
