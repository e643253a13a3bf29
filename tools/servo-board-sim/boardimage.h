// What the board keeps: its bus settings, its node table and its program.
// The same record serves as the board's working set and as the copy it
// stores in flash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame.h"

constexpr std::size_t MaxBoardNodes = 255;
constexpr std::size_t MaxBoardWords = 256;

// One entry of the node table: the bus code and the bus address, as the
// bytes the program sent.
struct TNodeEntry {
  std::uint8_t Bus = 0;
  std::uint8_t Addr = 0;

  bool operator==(const TNodeEntry& o) const { return Bus == o.Bus && Addr == o.Addr; }
};

struct TBoardImage {
  TBusConfigBlock Config;
  std::vector<TNodeEntry> Nodes;
  std::vector<std::uint32_t> Program;

  bool operator==(const TBoardImage& o) const {
    return Config == o.Config && Nodes == o.Nodes && Program == o.Program;
  }
};
