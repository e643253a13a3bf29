#include <gtest/gtest.h>

#include <functional>

#include "insword.h"

namespace {

struct TFieldCase {
  const char* Name;
  std::function<void(TInsStu&)> Write;
  std::uint32_t Mask;  // the bits the writer owns
  std::uint32_t Bits;  // what it puts there
};

void PrintTo(const TFieldCase& c, std::ostream* os) { *os << c.Name; }

class FieldWriteTest : public testing::TestWithParam<TFieldCase> {};

TEST_P(FieldWriteTest, ChangesOnlyItsOwnBits) {
  for (std::uint32_t before : {0u, 0xFFFF'FFFFu, 0xA5A5'5A5Au}) {
    TInsStu word{before};
    GetParam().Write(word);
    EXPECT_EQ(word.Word, (before & ~GetParam().Mask) | GetParam().Bits) << std::hex << before;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldWriteTest,
    testing::Values(TFieldCase{"Type", [](TInsStu& w) { w.SetInsType(9); }, 0xFu, 0x9u},
                    TFieldCase{"TypeCutToFourBits", [](TInsStu& w) { w.SetInsType(0x17); }, 0xFu, 0x7u},
                    TFieldCase{"Channel", [](TInsStu& w) { w.SetChannel_CountIndex(2); }, 0xF0u, 0x20u},
                    TFieldCase{"ChannelCutToFourBits", [](TInsStu& w) { w.SetChannel_CountIndex(0xFFFF'FFFFu); },
                               0xF0u, 0xF0u},
                    TFieldCase{"Addr", [](TInsStu& w) { w.SetAddr_InsIndex(0x64); }, 0xFF00u, 0x6400u},
                    TFieldCase{"AddrCutToEightBits", [](TInsStu& w) { w.SetAddr_InsIndex(0x1FF); }, 0xFF00u, 0xFF00u},
                    TFieldCase{"Value", [](TInsStu& w) { w.SetPWM_Delay_Count(0xFFFE); }, 0xFFFF'0000u,
                               0xFFFE'0000u},
                    TFieldCase{"Byte2", [](TInsStu& w) { w.SetByte(2, 0x01); }, 0x00FF'0000u, 0x0001'0000u},
                    TFieldCase{"Byte3", [](TInsStu& w) { w.SetByte(3, 0xAB); }, 0xFF00'0000u, 0xAB00'0000u}),
    [](const testing::TestParamInfo<TFieldCase>& info) { return std::string(info.param.Name); });

TEST(InsStu, ReadsEachFieldFromItsBits) {
  const TInsStu word{0xFFC9'1A21u};
  EXPECT_EQ(word.InsType(), 1u);
  EXPECT_EQ(word.Channel_CountIndex(), 2u);
  EXPECT_EQ(word.Addr_InsIndex(), 0x1Au);
  EXPECT_EQ(word.PWM_Delay_Count(), 0xFFC9u) << "unsigned for delays and counts";
  EXPECT_EQ(word.SignedValue(), -55) << "signed for PWM values";
  EXPECT_EQ(word.Byte(0), 0x21u);
  EXPECT_EQ(word.Byte(2), 0xC9u);
  EXPECT_EQ(word.Byte(3), 0xFFu);
}

}  // namespace
