#include "nodetexts.h"

#include <gtest/gtest.h>

namespace {

TEST(NodeTexts, AddressesAreUpperCaseHexWithAtLeastTwoDigits) {
  const struct {
    std::int32_t Addr;
    const char* Text;
  } cases[] = {{0, "00"}, {10, "0A"}, {100, "64"}, {255, "FF"}, {300, "12C"}, {-1, "FFFFFFFF"}};
  for (const auto& c : cases) EXPECT_EQ(NodeAddrText(c.Addr), QString::fromLatin1(c.Text)) << c.Addr;
}

}  // namespace
