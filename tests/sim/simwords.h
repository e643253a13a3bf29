// Program words for the tests of the virtual board.
#pragma once

#include <cstdint>
#include <vector>

#include "insword.h"
#include "interpreter.h"

inline TInsStu Ins(unsigned type, unsigned channel = 0, unsigned addr = 0, std::uint16_t value = 0) {
  return MakeInsWord(type, channel, addr, value);
}

inline std::uint32_t SendPWM(unsigned bus, unsigned addr, int value) {
  return Ins(InsSendPWM, bus, addr, static_cast<std::uint16_t>(value)).Word;
}
inline std::uint32_t ReadPos(unsigned bus, unsigned addr) { return Ins(InsReadPos, bus, addr).Word; }
inline std::uint32_t ReadMea(unsigned bus, unsigned addr) { return Ins(InsReadMea, bus, addr).Word; }
inline std::uint32_t Delay(std::uint16_t ms) { return Ins(InsDelay, 0, 0, ms).Word; }
inline std::uint32_t SetCount(unsigned counter, std::uint16_t value) { return Ins(InsSetCount, counter, 0, value).Word; }
inline std::uint32_t Goto(unsigned counter, unsigned target) { return Ins(InsGoto, counter, target).Word; }
inline std::uint32_t End() { return Ins(InsEnd).Word; }

// The swing program: 100 times to +30 degrees and back to -30, reading the
// position and the measurements at each end.
inline std::vector<std::uint32_t> SwingProgram(unsigned bus, unsigned addr) {
  return {SetCount(0, 100),   SendPWM(bus, addr, 300),  Delay(400), ReadPos(bus, addr),
          ReadMea(bus, addr), SendPWM(bus, addr, -300), Delay(400), ReadPos(bus, addr),
          ReadMea(bus, addr), Goto(0, 1),               End()};
}
