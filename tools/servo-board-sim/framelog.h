// A log of every frame received and sent, one line each in hex:
// "rx FE AC 02 00 00 00 00 00 00 00 02 0A".
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

std::string FormatFrameLine(const char* direction, const std::uint8_t* bytes, std::size_t count);

class TFrameLog {
 public:
  // False (with the reason) when the file cannot be written.
  bool Open(const std::string& path, std::string& error);
  bool IsOpen() const { return FFile.is_open(); }
  // Writes and flushes one line, so the log can be read while the board runs.
  void Write(const char* direction, const std::uint8_t* bytes, std::size_t count);

 private:
  std::ofstream FFile;
};
