// The board on the line: reads requests from the pseudo-terminal's master
// side, has the board answer them, sends the answers and the reports that go
// out by themselves, and keeps the board's clock running. Faults for tests
// (latency, lost answers, bad checksums, noise) are applied here.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <deque>
#include <vector>

#include "board.h"
#include "faults.h"
#include "framelog.h"
#include "framescanner.h"

class TServeLoop {
 public:
  // Frames are dropped rather than queued beyond this many unsent bytes
  // (nobody is reading the line).
  static constexpr std::size_t MaxUnsentBytes = 256 * 1024;

  TServeLoop(TBoard& board, int masterFd, TFaultPlan& faults, int latencyMs, TFrameLog& log);

  // Serves until stop is set. The signals that set it are to be blocked by
  // the caller; waitMask is the signal mask while waiting, so they are
  // delivered only there and never lost between a check and a wait.
  void Run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask);

 private:
  struct TDelayed {
    std::uint64_t DueMs;
    std::vector<TFrame> Frames;
  };

  std::uint64_t NowMs() const;
  void Keep(std::uint64_t now);
  void Receive();
  void Serve(const TFrame& request, std::uint64_t now);
  void ReleaseDue(std::uint64_t now);
  void Queue(TFrame frame);
  void Flush();
  bool HasUnsent() const { return FOutSent < FOut.size(); }
  int WaitMs(std::uint64_t now) const;

  TBoard& FBoard;
  int FMaster;
  TFaultPlan& FFaults;
  int FLatencyMs;
  TFrameLog& FLog;
  TFrameScanner FScanner;
  std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
  std::deque<TDelayed> FDelayed;
  std::vector<std::uint8_t> FOut;
  std::size_t FOutSent = 0;
  std::uint64_t FLineQuietUntilMs = 0;  // after an I/O error the line is left alone briefly
};
