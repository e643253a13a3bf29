#include "framescanner.h"

#include <algorithm>

void TFrameScanner::Feed(const std::uint8_t* bytes, std::size_t count) {
  FPending.insert(FPending.end(), bytes, bytes + count);
}

std::optional<TFrame> TFrameScanner::Next() {
  std::size_t at = 0;
  for (; at + FrameSize <= FPending.size(); ++at) {
    if (FPending[at] != FrameSync1 || FPending[at + FrameSize - 1] != FrameEnd) continue;
    if (FCheck(&FPending[at])) {
      TFrame frame;
      std::copy_n(FPending.begin() + static_cast<std::ptrdiff_t>(at), FrameSize, frame.begin());
      DropBefore(at + FrameSize);
      return frame;
    }
    ++FRejected;
  }
  DropBefore(at);
  return std::nullopt;
}

// Drops the bytes before `at` and then every byte that cannot start a frame.
void TFrameScanner::DropBefore(std::size_t at) {
  const auto keep = std::find(FPending.begin() + static_cast<std::ptrdiff_t>(at), FPending.end(), FrameSync1);
  FPending.erase(FPending.begin(), keep);
}
