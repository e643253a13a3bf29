// The board's flash: the stored copy kept in a small text file.
//
//   servo-board-sim flash 1
//   config 03 02 85 07          the bus-configuration block, bytes 1 to 4
//   node 01 05                  bus code, address (one line per node)
//   word 00640009               one instruction word (one line per word)
//   end 1 1                     the number of node and word lines
//
// All numbers are hexadecimal except those of the end line. The end line
// catches a file that was cut short.
#pragma once

#include <string>

#include "boardimage.h"

std::string FormatFlash(const TBoardImage& image);

struct TFlashParse {
  bool Ok = false;
  TBoardImage Image;
  std::string Error;  // what is wrong, with the line number
};
TFlashParse ParseFlash(const std::string& text);

enum class TFlashFileState { Missing, Loaded, Corrupt };
struct TFlashLoad {
  TFlashFileState State = TFlashFileState::Missing;
  TBoardImage Image;  // empty unless loaded
  std::string Error;
};
TFlashLoad LoadFlashFile(const std::string& path);

// Writes the file atomically: a temporary file beside it, synced, then
// renamed over it. On failure the old file stays and error says why.
bool SaveFlashFile(const std::string& path, const TBoardImage& image, std::string& error);
