// The command line of servo-board-sim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TSimOptions {
  int Com = 1;                 // the link is DIR/dosdevices/com<Com>
  std::string Dir = ".";
  std::string FlashFile;       // empty: the stored copy lives in memory only
  int LatencyMs = 0;           // answer delay
  unsigned DropEvery = 0;      // no answer to every Nth request; 0 = off
  unsigned BadChecksumEvery = 0;
  bool Noise = false;
  std::optional<std::uint32_t> Seed;
  std::string LogFile;
  bool Help = false;
};

struct TOptionsParse {
  bool Ok = false;
  TSimOptions Options;
  std::string Error;
};

// Takes the arguments after the program name. Options take their value as
// the next argument or after '=' ("--com 3", "--com=3").
TOptionsParse ParseOptions(const std::vector<std::string>& args);

const char* UsageText();
