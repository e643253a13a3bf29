// One 32-bit instruction word of the board's program. Little-endian: bits
// 0-3 the type code, 4-7 the bus code or counter number minus 1, 8-15 the
// node address or jump target, 16-31 the PWM value, delay, counter value or
// two command bytes. Writers change only the fields they name.
#pragma once

#include <cstdint>

constexpr int MaxInsCount = 256;

// Instruction type codes. The other codes (0, 4, 5, 6, 10 to 13) name no
// instruction; such words are kept and sent like any other.
enum TInsType : unsigned {
  InsSendPWM = 1,
  InsReadPos = 2,
  InsReadMea = 3,
  InsSendNM = 7,
  InsDelay = 8,
  InsSetCount = 9,
  InsGoto = 14,
  InsEnd = 15,
};

struct TInsStu {
  std::uint32_t Word = 0;

  unsigned InsType() const { return Word & 0xF; }
  unsigned Channel_CountIndex() const { return (Word >> 4) & 0xF; }
  unsigned Addr_InsIndex() const { return (Word >> 8) & 0xFF; }
  std::uint16_t PWM_Delay_Count() const { return static_cast<std::uint16_t>(Word >> 16); }
  std::int16_t SignedValue() const { return static_cast<std::int16_t>(PWM_Delay_Count()); }
  std::uint8_t Byte(int i) const { return static_cast<std::uint8_t>(Word >> (8 * i)); }

  void SetInsType(unsigned v) { Word = (Word & ~0xFu) | (v & 0xF); }
  void SetChannel_CountIndex(unsigned v) { Word = (Word & ~0xF0u) | ((v & 0xF) << 4); }
  void SetAddr_InsIndex(unsigned v) { Word = (Word & ~0xFF00u) | ((v & 0xFF) << 8); }
  void SetPWM_Delay_Count(std::uint16_t v) { Word = (Word & 0xFFFFu) | (std::uint32_t(v) << 16); }
  void SetByte(int i, std::uint8_t v) {
    Word = (Word & ~(0xFFu << (8 * i))) | (std::uint32_t(v) << (8 * i));
  }

  bool operator==(const TInsStu& o) const { return Word == o.Word; }
};

// A word with its four fields set.
inline TInsStu MakeInsWord(unsigned type, unsigned channel = 0, unsigned addr = 0, std::uint16_t value = 0) {
  TInsStu word;
  word.SetInsType(type);
  word.SetChannel_CountIndex(channel);
  word.SetAddr_InsIndex(addr);
  word.SetPWM_Delay_Count(value);
  return word;
}
