#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "instext.h"

namespace {

// A word from its four bytes as they go over the wire, byte 0 first.
TInsStu WordOfBytes(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  return TInsStu{std::uint32_t(b0) | std::uint32_t(b1) << 8 | std::uint32_t(b2) << 16 | std::uint32_t(b3) << 24};
}

struct TTextsCase {
  const char* Name;
  std::array<std::uint8_t, 4> Bytes;
  QStringList Texts;
};

void PrintTo(const TTextsCase& c, std::ostream* os) { *os << c.Name; }

class InsWordTextsTest : public testing::TestWithParam<TTextsCase> {};

TEST_P(InsWordTextsTest, GivesTheColumnTexts) {
  const auto& b = GetParam().Bytes;
  EXPECT_EQ(InsWordTexts(WordOfBytes(b[0], b[1], b[2], b[3])), GetParam().Texts);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, InsWordTextsTest,
    testing::Values(TTextsCase{"SendPWMOnCAN", {0x11, 0x05, 0x2C, 0x01}, {"SendPWM", "CAN", "Addr:05", "PWM:30"}},
                    TTextsCase{"SendPWMOnBoth", {0x01, 0x1A, 0xC9, 0xFF}, {"SendPWM", "CAN+485", "Addr:1A", "PWM:-5"}},
                    TTextsCase{"ReadPos", {0x22, 0x7F, 0x00, 0x00}, {"ReadPos", "RS485", "Addr:7F"}},
                    TTextsCase{"SendNM", {0x17, 0x03, 0x01, 0x00}, {"SendNM", "CAN", "Addr:03", "Cmd:01 00"}},
                    TTextsCase{"Delay", {0x08, 0x00, 0xF4, 0x01}, {"Delay", "500ms"}},
                    TTextsCase{"SetCount", {0x09, 0x00, 0x64, 0x00}, {"SetCount", "Index:1", "Value:100"}},
                    TTextsCase{"Goto", {0xFE, 0x00, 0x00, 0x00}, {"Goto", "Count:16", "Inst:001"}},
                    TTextsCase{"End", {0x2F, 0x05, 0x00, 0x00}, {"End"}}),
    [](const testing::TestParamInfo<TTextsCase>& info) { return std::string(info.param.Name); });

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, InsWordTextsTest,
    testing::Values(
        // Tenths are divided by 10 with the quotient truncated toward 0.
        TTextsCase{"HalfBelowZero", {0x11, 0x01, 0xFB, 0xFF}, {"SendPWM", "CAN", "Addr:01", "PWM:0"}},
        TTextsCase{"OneAndAHalfBelowZero", {0x11, 0x01, 0xF1, 0xFF}, {"SendPWM", "CAN", "Addr:01", "PWM:-1"}},
        TTextsCase{"FullScale", {0x11, 0x01, 0xE8, 0x03}, {"SendPWM", "CAN", "Addr:01", "PWM:100"}},
        TTextsCase{"MostNegative", {0x11, 0x01, 0x00, 0x80}, {"SendPWM", "CAN", "Addr:01", "PWM:-3276"}},
        // Delays and counter values are unsigned.
        TTextsCase{"DelayWithTopBit", {0x08, 0x00, 0x60, 0xEA}, {"Delay", "60000ms"}},
        TTextsCase{"CountWithTopBit", {0x09, 0x00, 0x60, 0xEA}, {"SetCount", "Index:1", "Value:60000"}},
        TTextsCase{"LongestDelay", {0xF8, 0xFF, 0xFF, 0xFF}, {"Delay", "65535ms"}},
        // An unknown bus keeps its column, empty.
        TTextsCase{"BusNibbleFive", {0x51, 0x22, 0x64, 0x00}, {"SendPWM", "", "Addr:22", "PWM:10"}},
        TTextsCase{"ReadMeaOnBusFifteen", {0xF3, 0xAB, 0x00, 0x00}, {"ReadMeasu", "", "Addr:AB"}},
        TTextsCase{"LastJumpTarget", {0x0E, 0xFF, 0x00, 0x00}, {"Goto", "Count:1", "Inst:256"}},
        TTextsCase{"SendNMHighBytes", {0x27, 0x64, 0xAB, 0xFF}, {"SendNM", "RS485", "Addr:64", "Cmd:AB FF"}},
        TTextsCase{"EndIgnoresEverything", {0x0F, 0x00, 0x00, 0x00}, {"End"}},
        TTextsCase{"EndWithEveryBit", {0xFF, 0xFF, 0xFF, 0xFF}, {"End"}},
        TTextsCase{"CodeFour", {0x14, 0x05, 0x2C, 0x01}, {}},
        TTextsCase{"CodeZero", {0x00, 0x00, 0x00, 0x00}, {}}),
    [](const testing::TestParamInfo<TTextsCase>& info) { return std::string(info.param.Name); });

TEST(InsWordTexts, EveryCodeThatNamesNoInstructionGivesNoText) {
  for (unsigned code : {0u, 4u, 5u, 6u, 10u, 11u, 12u, 13u}) {
    EXPECT_TRUE(InsWordTexts(TInsStu{0xFFFFFFF0u | code}).isEmpty()) << code;
  }
}

TEST(BusText, NamesTheThreeBusCodesOnly) {
  EXPECT_EQ(BusText(0), QStringLiteral("CAN+485"));
  EXPECT_EQ(BusText(1), QStringLiteral("CAN"));
  EXPECT_EQ(BusText(2), QStringLiteral("RS485"));
  for (unsigned code : {3u, 15u, 16u, 255u, 0xFFFFFFFFu}) EXPECT_EQ(BusText(code), QString()) << code;
}

TEST(PadNumText, PadsWithZerosUpToTheWidth) {
  const struct {
    int Value, Width;
    const char* Text;
  } cases[] = {{1, 3, "001"},   {256, 3, "256"},  {1000, 3, "1000"},     {0, 3, "000"}, {7, 0, "7"},
               {7, -4, "7"},    {42, 1, "42"},    {5, 16, "0000000000000005"},
               {5, 40, "0000000000000005"}};  // the width is at most 16
  for (const auto& c : cases) {
    EXPECT_EQ(PadNumText(c.Value, c.Width), QString::fromLatin1(c.Text)) << c.Value << " " << c.Width;
  }
}

TEST(InsRowCaption, NumbersRowsFromOneWithThreeDigits) {
  EXPECT_EQ(InsRowCaption(0), QStringLiteral("001"));
  EXPECT_EQ(InsRowCaption(8), QStringLiteral("009"));
  EXPECT_EQ(InsRowCaption(255), QStringLiteral("256"));
}

TEST(BytesToHex, WritesTwoUpperCaseDigitsPerByte) {
  const std::uint8_t bytes[] = {0x01, 0x00, 0xAB, 0xFF};
  EXPECT_EQ(BytesToHex(bytes, 2), QStringLiteral("01 00"));
  EXPECT_EQ(BytesToHex(bytes, 4), QStringLiteral("01 00 AB FF"));
  EXPECT_EQ(BytesToHex(bytes + 2, 1), QStringLiteral("AB"));
  EXPECT_EQ(BytesToHex(bytes, 0), QString());
}

struct THexCase {
  const char* Text;
  int Max;
  std::vector<std::uint8_t> Bytes;  // what is stored; the rest of the destination stays 0xEE
};

class HexToBytesTest : public testing::TestWithParam<THexCase> {};

TEST_P(HexToBytesTest, StoresTheParsedBytesOnly) {
  std::array<std::uint8_t, 4> dest;
  dest.fill(0xEE);
  const THexCase& c = GetParam();
  EXPECT_EQ(HexToBytes(QString::fromLatin1(c.Text), dest.data(), c.Max), int(c.Bytes.size()));
  for (std::size_t i = 0; i < dest.size(); ++i) {
    EXPECT_EQ(dest[i], i < c.Bytes.size() ? c.Bytes[i] : 0xEE) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HexToBytesTest,
    testing::Values(THexCase{"01 00", 2, {0x01, 0x00}}, THexCase{"1 2", 2, {0x01, 0x02}},
                    THexCase{"ABC", 2, {0xAB, 0x0C}}, THexCase{"01 00 FF", 2, {0x01, 0x00}},
                    THexCase{"0100", 2, {0x01, 0x00}}, THexCase{"1G", 2, {}}, THexCase{"", 2, {}},
                    THexCase{"   ", 2, {}}, THexCase{"  7f  ", 2, {0x7F}}, THexCase{"ff 1G", 2, {0xFF}},
                    THexCase{"A", 2, {0x0A}}, THexCase{"-1", 2, {}}, THexCase{"+1", 2, {}},
                    THexCase{"0x12", 2, {}}, THexCase{"12 34", 1, {0x12}}, THexCase{"12", 0, {}},
                    THexCase{"1 2 3 4 5", 4, {0x01, 0x02, 0x03, 0x04}}),
    [](const testing::TestParamInfo<THexCase>& info) { return "Case" + std::to_string(info.index); });

TEST(HexToBytes, BytesToHexReadsBack) {
  for (unsigned a = 0; a < 256; a += 17) {
    const std::uint8_t bytes[] = {std::uint8_t(a), std::uint8_t(255 - a)};
    std::uint8_t back[2] = {};
    ASSERT_EQ(HexToBytes(BytesToHex(bytes, 2), back, 2), 2);
    EXPECT_EQ(back[0], bytes[0]);
    EXPECT_EQ(back[1], bytes[1]);
  }
}

}  // namespace
