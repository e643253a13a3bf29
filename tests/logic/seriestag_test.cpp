#include "seriestag.h"

#include <gtest/gtest.h>

namespace {

struct TTagCase {
  int Bus, Addr, Kind;
  std::uint32_t Tag;
};

TEST(SeriesTag, PacksBusAddressAndKindIntoBytes) {
  const TTagCase cases[] = {{1, 5, KindPWM, 0x000501},        {2, 5, KindPos, 0x010502},
                            {0, 0x64, KindCurrent, 0x026400}, {1, 0xFF, KindTemp, 0x03FF01},
                            {-1, 3, KindPos, 0x0103FF},       {0x1FF, 0x102, KindPWM, 0x0002FF}};
  for (const TTagCase& c : cases) {
    EXPECT_EQ(SeriesTag(c.Bus, c.Addr, c.Kind), c.Tag) << c.Bus << "/" << c.Addr << "/" << c.Kind;
    EXPECT_EQ(SeriesTag(c.Bus, c.Addr, c.Kind) >> 24, 0u);
  }
}

TEST(SeriesTag, MatchesANodeByTheLowBitsOfBusAndAddress) {
  for (int kind = 0; kind < SeriesKindCount; ++kind) {
    EXPECT_TRUE(TagIsOfNode(SeriesTag(1, 5, kind), 1, 5));
    EXPECT_FALSE(TagIsOfNode(SeriesTag(1, 5, kind), 2, 5));
    EXPECT_FALSE(TagIsOfNode(SeriesTag(1, 5, kind), 1, 6));
  }
  EXPECT_TRUE(TagIsOfNode(SeriesTag(-1, 7, KindTemp), -1, 7)) << "a negative bus code read back from the board";
  EXPECT_TRUE(TagIsOfNode(SeriesTag(300, 7, KindPWM), 300, 7));
}

TEST(SeriesTag, ViewBitsFollowTheKinds) {
  EXPECT_EQ(ViewBit(KindPWM), 0x1);
  EXPECT_EQ(ViewBit(KindPos), 0x2);
  EXPECT_EQ(ViewBit(KindCurrent), 0x4);
  EXPECT_EQ(ViewBit(KindTemp), 0x8);
}

}  // namespace
