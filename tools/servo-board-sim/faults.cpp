#include "faults.h"

TFaultPlan::TFaultPlan(unsigned dropEvery, unsigned badChecksumEvery, bool noise, std::uint32_t seed)
    : FDropEvery(dropEvery), FBadChecksumEvery(badChecksumEvery), FNoise(noise), FRandom(seed) {}

std::vector<std::uint8_t> TFaultPlan::NoiseBytes() {
  if (!FNoise) return {};
  std::uniform_int_distribution<int> length(1, 4);
  std::uniform_int_distribution<int> value(0, 254);  // 255 values: every byte but 0xFE
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length(FRandom)));
  for (std::uint8_t& b : bytes) {
    const int v = value(FRandom);
    b = static_cast<std::uint8_t>(v >= FrameSync1 ? v + 1 : v);
  }
  return bytes;
}
