#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "insprogram.h"

namespace {

// A buffer whose slot k holds the word 100 + k, so that every move shows.
TInsBuf Numbered() {
  TInsBuf words;
  for (std::size_t k = 0; k < words.size(); ++k) words[k].Word = 100 + k;
  return words;
}

std::vector<std::uint32_t> Slots(const TInsBuf& words, int first, int count) {
  std::vector<std::uint32_t> slots;
  for (int k = first; k < first + count; ++k) slots.push_back(words[k].Word);
  return slots;
}

struct TEditCase {
  const char* Name;
  std::function<bool(TInsBuf&)> Edit;
  bool Done;
  std::vector<std::uint32_t> First;  // slots 0 to 5 afterwards
};

void PrintTo(const TEditCase& c, std::ostream* os) { *os << c.Name; }

class ProgramEditTest : public testing::TestWithParam<TEditCase> {};

TEST_P(ProgramEditTest, ChangesTheSlotsOrNothing) {
  TInsBuf words = Numbered();
  const TEditCase& c = GetParam();
  EXPECT_EQ(c.Edit(words), c.Done);
  if (c.Done) {
    EXPECT_EQ(Slots(words, 0, 6), c.First);
  } else {
    EXPECT_EQ(words, Numbered()) << "a refused edit changes nothing";
  }
  EXPECT_EQ(Slots(words, 6, MaxInsCount - 6), Slots(Numbered(), 6, MaxInsCount - 6)) << "slots after 5 stay";
}

// The program is the five words 100 to 104; slot 5 (105) lies behind it.
INSTANTIATE_TEST_SUITE_P(
    FiveWords, ProgramEditTest,
    testing::Values(
        TEditCase{"OpenSecond", [](TInsBuf& w) { return OpenInsSlot(w, 5, 1); }, true, {100, 101, 101, 102, 103, 104}},
        TEditCase{"OpenFirst", [](TInsBuf& w) { return OpenInsSlot(w, 5, 0); }, true, {100, 100, 101, 102, 103, 104}},
        TEditCase{"OpenBehind", [](TInsBuf& w) { return OpenInsSlot(w, 5, 5); }, true, {100, 101, 102, 103, 104, 105}},
        TEditCase{"OpenPastTheEnd", [](TInsBuf& w) { return OpenInsSlot(w, 5, 6); }, false, {}},
        TEditCase{"OpenNegative", [](TInsBuf& w) { return OpenInsSlot(w, 5, -1); }, false, {}},
        TEditCase{"CloseSecond", [](TInsBuf& w) { return CloseInsSlot(w, 5, 1); }, true, {100, 102, 103, 104, 104, 105}},
        TEditCase{"CloseLast", [](TInsBuf& w) { return CloseInsSlot(w, 5, 4); }, true, {100, 101, 102, 103, 104, 105}},
        TEditCase{"CloseBehind", [](TInsBuf& w) { return CloseInsSlot(w, 5, 5); }, false, {}},
        TEditCase{"CloseNegative", [](TInsBuf& w) { return CloseInsSlot(w, 5, -1); }, false, {}},
        TEditCase{"CloseInEmpty", [](TInsBuf& w) { return CloseInsSlot(w, 0, 0); }, false, {}},
        TEditCase{"SwapUp", [](TInsBuf& w) { return SwapInsWords(w, 5, 2, 3); }, true, {100, 101, 103, 102, 104, 105}},
        TEditCase{"SwapItself", [](TInsBuf& w) { return SwapInsWords(w, 5, 2, 2); }, false, {}},
        TEditCase{"SwapAboveTheFirst", [](TInsBuf& w) { return SwapInsWords(w, 5, -1, 0); }, false, {}},
        TEditCase{"SwapBelowTheLast", [](TInsBuf& w) { return SwapInsWords(w, 5, 4, 5); }, false, {}},
        TEditCase{"TopOfThird", [](TInsBuf& w) { return MoveInsToTop(w, 5, 2); }, true, {102, 100, 101, 103, 104, 105}},
        TEditCase{"TopOfLast", [](TInsBuf& w) { return MoveInsToTop(w, 5, 4); }, true, {104, 100, 101, 102, 103, 105}},
        TEditCase{"TopOfFirst", [](TInsBuf& w) { return MoveInsToTop(w, 5, 0); }, false, {}},
        TEditCase{"TopOfNone", [](TInsBuf& w) { return MoveInsToTop(w, 5, -1); }, false, {}},
        TEditCase{"TopBehind", [](TInsBuf& w) { return MoveInsToTop(w, 5, 5); }, false, {}},
        TEditCase{"BottomOfSecond", [](TInsBuf& w) { return MoveInsToBottom(w, 5, 1); }, true,
                  {100, 102, 103, 104, 101, 105}},
        TEditCase{"BottomOfFirst", [](TInsBuf& w) { return MoveInsToBottom(w, 5, 0); }, true,
                  {101, 102, 103, 104, 100, 105}},
        TEditCase{"BottomOfLast", [](TInsBuf& w) { return MoveInsToBottom(w, 5, 4); }, false, {}},
        TEditCase{"BottomOfNone", [](TInsBuf& w) { return MoveInsToBottom(w, 5, -1); }, false, {}},
        TEditCase{"CountAboveTheBuffer", [](TInsBuf& w) { return SwapInsWords(w, MaxInsCount + 1, 0, 1); }, false,
                  {}},
        TEditCase{"NegativeCount", [](TInsBuf& w) { return CloseInsSlot(w, -3, 0); }, false, {}}),
    [](const testing::TestParamInfo<TEditCase>& info) { return std::string(info.param.Name); });

TEST(OpenInsSlot, AFullBufferHasNoRoom) {
  TInsBuf words = Numbered();
  EXPECT_FALSE(OpenInsSlot(words, MaxInsCount, 0));
  EXPECT_FALSE(OpenInsSlot(words, MaxInsCount, MaxInsCount));
  EXPECT_EQ(words, Numbered());
  ASSERT_TRUE(OpenInsSlot(words, MaxInsCount - 1, 0));
  EXPECT_EQ(words[0].Word, 100u);
  EXPECT_EQ(words[MaxInsCount - 1].Word, 100u + MaxInsCount - 2) << "the last word moved into the last slot";
}

TEST(MoveIns, TheEndsOfAFullProgramMove) {
  TInsBuf words = Numbered();
  ASSERT_TRUE(MoveInsToTop(words, MaxInsCount, MaxInsCount - 1));
  EXPECT_EQ(words[0].Word, 100u + MaxInsCount - 1);
  ASSERT_TRUE(MoveInsToBottom(words, MaxInsCount, 0));
  EXPECT_EQ(words, Numbered());
  ASSERT_TRUE(CloseInsSlot(words, MaxInsCount, MaxInsCount - 1));
  EXPECT_EQ(words, Numbered()) << "closing the last slot moves nothing";
}

}  // namespace
