#include "framelog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

std::string FormatFrameLine(const char* direction, const std::uint8_t* bytes, std::size_t count) {
  std::string line = direction;
  for (std::size_t i = 0; i < count; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    line += hex;
  }
  return line;
}

bool TFrameLog::Open(const std::string& path, std::string& error) {
  FFile.open(path, std::ios::out | std::ios::trunc);
  if (!FFile.is_open()) error = "cannot write " + path + ": " + std::strerror(errno);
  return FFile.is_open();
}

void TFrameLog::Write(const char* direction, const std::uint8_t* bytes, std::size_t count) {
  if (!FFile.is_open()) return;
  FFile << FormatFrameLine(direction, bytes, count) << std::endl;
}
