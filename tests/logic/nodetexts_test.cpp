#include <gtest/gtest.h>

#include "bustext.h"
#include "nodetexts.h"

namespace {

TEST(NodeTexts, BusCodesHaveTheirNames) {
  EXPECT_EQ(BusText(0), QStringLiteral("CAN+485"));
  EXPECT_EQ(BusText(1), QStringLiteral("CAN"));
  EXPECT_EQ(BusText(2), QStringLiteral("RS485"));
  for (unsigned code : {3u, 15u, 255u, 0xFFFFFFFFu}) EXPECT_EQ(BusText(code), QString()) << code;
}

TEST(NodeTexts, AddressesAreUpperCaseHexWithAtLeastTwoDigits) {
  const struct {
    std::int32_t Addr;
    const char* Text;
  } cases[] = {{0, "00"}, {10, "0A"}, {100, "64"}, {255, "FF"}, {300, "12C"}, {-1, "FFFFFFFF"}};
  for (const auto& c : cases) EXPECT_EQ(NodeAddrText(c.Addr), QString::fromLatin1(c.Text)) << c.Addr;
}

}  // namespace
