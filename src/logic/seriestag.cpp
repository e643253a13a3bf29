#include "seriestag.h"

namespace {

constexpr std::uint32_t ByteMask = 0xFF;
constexpr std::uint32_t NodeMask = 0xFFFF;

}  // namespace

std::uint32_t SeriesTag(int bus, int addr, int kind) {
  return (static_cast<std::uint32_t>(bus) & ByteMask) | ((static_cast<std::uint32_t>(addr) & ByteMask) << 8) |
         ((static_cast<std::uint32_t>(kind) & ByteMask) << 16);
}

bool TagIsOfNode(std::uint32_t tag, int bus, int addr) { return (tag & NodeMask) == SeriesTag(bus, addr, 0); }
