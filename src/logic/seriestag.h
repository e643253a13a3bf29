// The kinds of chart series and the 32-bit tag that names a series: byte 0
// the node's bus code, byte 1 its address, byte 2 the kind, byte 3 zero.
// Nodes are matched by the low 8 bits of their bus code and address, the
// bits the tag keeps.
#pragma once

#include <cstdint>

enum TSeriesKind : int { KindPWM = 0, KindPos = 1, KindCurrent = 2, KindTemp = 3 };

constexpr int SeriesKindCount = 4;

// The kind's bit in the view flags of the configuration.
constexpr std::int32_t ViewBit(int kind) { return std::int32_t(1) << kind; }

std::uint32_t SeriesTag(int bus, int addr, int kind);

// True when the tag names a series of the node, whatever its kind.
bool TagIsOfNode(std::uint32_t tag, int bus, int addr);
