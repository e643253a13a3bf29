// A frame scanner written from the wire format alone, to hold the program's
// receive path against: a frame is 0xFE 0xAC, a head byte with bit 7 set and
// seven more payload bytes, the low 8 bits of the payload's sum, 0x0A. The
// scanner sees the whole stream at once; where the 12 bytes at a position are
// no frame it moves on by one byte, where they are one it takes them whole.
// Plain C++ with no part of the program, so that the fuzz targets use it too.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace reference {

constexpr std::size_t FrameBytes = 12;
using TWireFrame = std::array<std::uint8_t, FrameBytes>;

inline bool IsBoardFrameAt(const std::uint8_t* bytes) {
  unsigned sum = 0;
  for (std::size_t i = 2; i < 10; ++i) sum += bytes[i];
  return bytes[0] == 0xFE && bytes[1] == 0xAC && (bytes[2] & 0x80) != 0 && bytes[10] == (sum & 0xFF) &&
         bytes[11] == 0x0A;
}

struct TFoundFrame {
  std::size_t Offset;
  TWireFrame Bytes;
};

inline std::vector<TFoundFrame> ScanFrames(const std::uint8_t* stream, std::size_t size) {
  std::vector<TFoundFrame> found;
  std::size_t at = 0;
  while (at + FrameBytes <= size) {
    if (!IsBoardFrameAt(stream + at)) {
      ++at;
      continue;
    }
    TFoundFrame frame{at, {}};
    for (std::size_t i = 0; i < FrameBytes; ++i) frame.Bytes[i] = stream[at + i];
    found.push_back(frame);
    at += FrameBytes;
  }
  return found;
}

inline std::vector<TFoundFrame> ScanFrames(const std::vector<std::uint8_t>& stream) {
  return ScanFrames(stream.data(), stream.size());
}

}  // namespace reference
