// Runs the board's program in board time. Control flow (delays, counters,
// jumps, the end) is handled here; what an instruction does on the buses is
// handed to a TBusActions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "insword.h"

// The bus side of the instructions; atMs is the board time at which the
// instruction runs.
class TBusActions {
 public:
  virtual void SendPWM(int bus, int addr, std::int16_t value, std::uint64_t atMs) = 0;
  virtual void ReadPos(int bus, int addr, std::uint64_t atMs) = 0;
  virtual void ReadMea(int bus, int addr, std::uint64_t atMs) = 0;
  virtual void SendNM(int bus, int addr, std::uint8_t first, std::uint8_t second, std::uint64_t atMs) = 0;

 protected:
  ~TBusActions() = default;
};

class TProgramRunner {
 public:
  // A program that loops without a delay still lets the board do other
  // things: after this many instructions in one millisecond it waits for the
  // next one.
  static constexpr int MaxStepsPerMs = 32;
  // A board that fell so far behind (the process was held up) that catching
  // up would take more instructions than this goes on from now instead.
  static constexpr std::size_t MaxStepsPerRun = 32000;
  static constexpr std::size_t CounterCount = 16;

  // Begins at the first word with every counter 0.
  void Start(std::uint64_t nowMs);
  void Stop() { FRunning = false; }
  bool Running() const { return FRunning; }
  std::size_t Pc() const { return FPc; }
  std::uint16_t Counter(std::size_t index) const { return FCounters[index]; }

  // Executes every instruction that is due up to and including nowMs.
  void RunUntil(std::uint64_t nowMs, const std::vector<std::uint32_t>& program, TBusActions& bus);

 private:
  void Execute(std::uint32_t word, TBusActions& bus);
  void WakeAt(std::uint64_t ms);
  void Goto(std::size_t counter, std::size_t target);

  bool FRunning = false;
  std::size_t FPc = 0;
  std::array<std::uint16_t, CounterCount> FCounters{};
  std::uint64_t FWakeMs = 0;
  int FStepsAtWake = 0;
};
