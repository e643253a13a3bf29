// Faults the simulator can put on the line for tests: answers that never
// come, answers with a wrong checksum and noise between frames.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "frame.h"

class TFaultPlan {
 public:
  // An `every` of 0 switches that fault off.
  TFaultPlan(unsigned dropEvery, unsigned badChecksumEvery, bool noise, std::uint32_t seed);

  // Counts one request; true when its answer is to be left out.
  bool DropsNextRequest() { return IsNth(FDropEvery, FRequests); }
  // Counts one answer frame; true when it is to go out with a wrong checksum.
  bool SpoilsNextAnswer() { return IsNth(FBadChecksumEvery, FAnswers); }
  // Bytes to put before the next frame: none without noise, otherwise 1 to 4
  // random bytes, never 0xFE, so they cannot start a frame.
  std::vector<std::uint8_t> NoiseBytes();

  static void SpoilChecksum(TFrame& frame) { frame[10] = static_cast<std::uint8_t>(frame[10] + 1); }

 private:
  static bool IsNth(unsigned every, unsigned long long& counter) { return every != 0 && ++counter % every == 0; }

  unsigned FDropEvery;
  unsigned FBadChecksumEvery;
  bool FNoise;
  std::mt19937 FRandom;
  unsigned long long FRequests = 0;
  unsigned long long FAnswers = 0;
};
