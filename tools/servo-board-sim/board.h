// The servo controller board: answers the program's requests, runs its
// program against the node table's servos and produces the reports. Pure
// state with no I/O; time comes in through AdvanceTo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "boardimage.h"
#include "frame.h"
#include "interpreter.h"
#include "nodebank.h"
#include "reportring.h"

// Writes the stored copy to wherever it survives the board (a flash file);
// false when that failed.
using TFlashWriter = std::function<bool(const TBoardImage& image)>;

class TBoard : private TBusActions {
 public:
  // Reports produced with AutoRpt on that have not been taken yet; when
  // nobody takes them the oldest are dropped beyond this number.
  static constexpr std::size_t MaxUnsolicited = TReportRing::Capacity;

  // Starts from the stored copy at board time 0; with AutoStart set in it
  // the program runs at once.
  explicit TBoard(TBoardImage stored = {}, TFlashWriter flash = {});

  // Moves the board clock on to nowMs (earlier times change nothing) and
  // runs the program up to it.
  void AdvanceTo(std::uint64_t nowMs);
  // The frames that answer one request at the current board time: one answer,
  // or for a poll the report frames asked for (possibly none).
  std::vector<TPayloadStu> Handle(const TPayloadStu& request);
  // The reports that go out by themselves (AutoRpt), oldest first.
  std::vector<TPayloadStu> TakeUnsolicited();

  bool Running() const { return FRunner.Running(); }
  // The board's 16-bit millisecond tick, wrapping.
  std::uint16_t Tick() const { return TickAt(FNowMs); }
  TBoardImage Working() const;
  const TBoardImage& Stored() const { return FStored; }
  const TNodeBank& Nodes() const { return FNodes; }
  std::uint64_t ReportsProduced() const { return FRing.Produced(); }

 private:
  static std::uint16_t TickAt(std::uint64_t ms) { return static_cast<std::uint16_t>(ms & 0xFFFF); }

  TPayloadStu Answer(const TPayloadStu& request);
  TPayloadStu CountsAnswer() const;
  TPayloadStu BusConfigAnswer() const;
  TPayloadStu NodeAnswer(const TPayloadStu& request) const;
  TPayloadStu AddNode(const TPayloadStu& request);
  TPayloadStu TickAnswer(std::uint8_t code) const;
  TPayloadStu SetInst(const TPayloadStu& request);
  TPayloadStu InstAnswer(const TPayloadStu& request) const;
  TPayloadStu Erase(const TPayloadStu& request);
  TPayloadStu Store(const TPayloadStu& request);

  void StartProgram();
  void Emit(const TPayloadStu& report);

  void SendPWM(int bus, int addr, std::int16_t value, std::uint64_t atMs) override;
  void ReadPos(int bus, int addr, std::uint64_t atMs) override;
  void ReadMea(int bus, int addr, std::uint64_t atMs) override;
  void SendNM(int bus, int addr, std::uint8_t first, std::uint8_t second, std::uint64_t atMs) override;

  TBusConfigBlock FConfig;
  TNodeBank FNodes;
  std::vector<std::uint32_t> FProgram;
  TBoardImage FStored;
  TFlashWriter FFlash;
  TProgramRunner FRunner;
  TReportRing FRing;
  std::deque<TPayloadStu> FUnsolicited;
  std::uint64_t FNowMs = 0;
};
