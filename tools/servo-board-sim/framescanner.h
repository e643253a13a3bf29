// Finds frames in a byte stream that may carry noise, frames cut in pieces
// and damaged frames. A frame starts at a 0xFE whose 12-byte window ends in
// 0x0A and passes the check; any other byte is skipped, one at a time, so the
// stream resynchronises on the next good frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "frame.h"

class TFrameScanner {
 public:
  // Checks a 12-byte window that starts with 0xFE and ends with 0x0A.
  using TCheck = bool (*)(const std::uint8_t* frame);

  // The board scans for requests (direction bit clear); a reader of the
  // board's answers passes IsValidFrame.
  explicit TFrameScanner(TCheck check = IsValidRequestFrame) : FCheck(check) {}

  void Feed(const std::uint8_t* bytes, std::size_t count);
  // The next good frame, or none until more bytes arrive.
  std::optional<TFrame> Next();

  // Windows that looked like frames but failed the check, so far.
  std::size_t Rejected() const { return FRejected; }
  std::size_t Pending() const { return FPending.size(); }

 private:
  void DropBefore(std::size_t at);

  TCheck FCheck;
  std::vector<std::uint8_t> FPending;
  std::size_t FRejected = 0;
};
