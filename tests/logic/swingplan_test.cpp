// The swing program's plan: the bus summary, the choice between one common
// angle, one angle per bus and one swing per node, and the words it writes.
#include <gtest/gtest.h>

#include "swingplan.h"

namespace {

using S = TSwingStep;

TNodeStu Node(int channel, int addr, int angle, int interv) { return MakeNode({}, channel, addr, angle, interv); }

TEST(SwingPlanTest, WorkedExampleTakesTwoAnglesThenOneSwingPerNode) {
  std::vector<TNodeStu> nodes = {Node(1, 5, 30, 400), Node(2, 9, 45, 600), Node(1, 7, 30, 900)};
  const std::vector<S> twoAngles = {
      {S::Counter, 0, 0, 100}, {S::Swing, 1, 0, 300},  {S::Swing, 2, 0, 450}, {S::Wait, 0, 0, 600},
      {S::ReadPos, 0, 0, 0},   {S::ReadMea, 0, 0, 0},  {S::Swing, 1, 0, -300}, {S::Swing, 2, 0, -450},
      {S::Wait, 0, 0, 600},    {S::ReadPos, 0, 0, 0},  {S::ReadMea, 0, 0, 0}, {S::Loop, 0, 0, 0},
      {S::End, 0, 0, 0}};
  EXPECT_EQ(SwingPlan(nodes, true), twoAngles);

  nodes[2].Angle = 20;
  const std::vector<S> perNode = {
      {S::Counter, 0, 0, 100}, {S::Swing, 1, 5, 300},  {S::Swing, 2, 9, 450},  {S::Swing, 1, 7, 200},
      {S::Wait, 0, 0, 900},    {S::ReadPos, 0, 0, 0},  {S::ReadMea, 0, 0, 0},  {S::Swing, 1, 5, -300},
      {S::Swing, 2, 9, -450},  {S::Swing, 1, 7, -200}, {S::Wait, 0, 0, 900},   {S::ReadPos, 0, 0, 0},
      {S::ReadMea, 0, 0, 0},   {S::Loop, 0, 0, 0},     {S::End, 0, 0, 0}};
  EXPECT_EQ(SwingPlan(nodes, true), perNode);
}

TEST(SwingPlanTest, OneCanNodeWithoutPositionReads) {
  const std::vector<S> expected = {{S::Counter, 0, 0, 100}, {S::Swing, 1, 0, 150}, {S::Wait, 0, 0, 250},
                                   {S::ReadMea, 1, 0, 0},   {S::Swing, 1, 0, -150}, {S::Wait, 0, 0, 250},
                                   {S::ReadMea, 1, 0, 0},   {S::Loop, 0, 0, 0},     {S::End, 0, 0, 0}};
  EXPECT_EQ(SwingPlan({Node(1, 3, 15, 250)}, false), expected);
}

TEST(SwingPlanTest, BusSummaries) {
  struct TCase {
    const char* Name;
    std::vector<TNodeStu> Nodes;
    TBusSummary Can, Rs485;
  };
  const TCase cases[] = {
      {"two RS485 angles keep the first interval when the second is smaller",
       {Node(2, 1, 10, 300), Node(2, 2, 20, 100)}, {}, {true, false, 10, 300}},
      {"a different angle raises the interval", {Node(1, 1, 10, 100), Node(1, 2, 20, 700)}, {true, false, 10, 700}, {}},
      {"the same angle ignores the interval", {Node(1, 1, 10, 100), Node(1, 2, 10, 900)}, {true, true, 10, 100}, {}},
      {"bus codes other than 1 and 2 take no part", {Node(0, 1, 10, 100), Node(3, 2, 10, 900)}, {}, {}},
  };
  for (const TCase& c : cases) {
    const TSwingSummary s = SummariseBuses(c.Nodes);
    for (const auto& [got, want] : {std::make_pair(s.Can, c.Can), std::make_pair(s.Rs485, c.Rs485)}) {
      EXPECT_EQ(got.Present, want.Present) << c.Name;
      EXPECT_EQ(got.Uniform, want.Uniform) << c.Name;
      EXPECT_EQ(got.Angle, want.Angle) << c.Name;
      EXPECT_EQ(got.Interv, want.Interv) << c.Name;
    }
  }
}

TEST(SwingPlanTest, ShapeFollowsTheBuses) {
  struct TCase {
    const char* Name;
    std::vector<TNodeStu> Nodes;
    std::size_t Length;
    S FirstSwing;
  };
  const TCase cases[] = {
      {"two RS485 angles: per node, reads to RS485", {Node(2, 4, 10, 300), Node(2, 6, 20, 100)}, 11, {S::Swing, 2, 4, 100}},
      {"CAN and RS485 with one angle: both buses", {Node(1, 4, 25, 300), Node(2, 6, 25, 500)}, 9, {S::Swing, 0, 0, 250}},
      {"unticked or not, every row counts; angle 360 is not clamped", {Node(1, 4, 360, 10)}, 9, {S::Swing, 1, 0, 3600}},
      {"other bus codes still swing per node", {Node(1, 4, 10, 10), Node(1, 5, 20, 10), Node(0, 9, 30, 10)},
       13, {S::Swing, 1, 4, 100}},
  };
  for (const TCase& c : cases) {
    const std::vector<S> plan = SwingPlan(c.Nodes, false);
    EXPECT_EQ(plan.size(), c.Length) << c.Name;
    ASSERT_GT(plan.size(), 1u) << c.Name;
    EXPECT_EQ(plan[1], c.FirstSwing) << c.Name;
  }
  const std::vector<S> rs485 = SwingPlan({Node(2, 4, 10, 300), Node(2, 6, 20, 100)}, false);
  EXPECT_EQ(rs485[4], (S{S::ReadMea, 2, 0, 0}));
  EXPECT_EQ(rs485[3], (S{S::Wait, 0, 0, 300}));
}

TEST(SwingPlanTest, NoNodeOnEitherBusPlansNothing) {
  EXPECT_TRUE(SwingPlan({}, true).empty());
  EXPECT_TRUE(SwingPlan({Node(0, 1, 30, 100), Node(5, 2, 30, 100)}, true).empty());
}

TEST(SwingPlanTest, ManyNodesWithDifferentAnglesMakeALongPlan) {
  std::vector<TNodeStu> nodes;
  for (int i = 0; i < 125; ++i) nodes.push_back(Node(1, i, i, 100));
  EXPECT_EQ(SwingPlan(nodes, false).size(), 2u * 125 + 7) << "the caller refuses what passes 256 words";
  EXPECT_EQ(SwingPlan(nodes, true).size(), 2u * 125 + 9);
}

TEST(SwingPlanTest, StepsWriteOnlyTheirFields) {
  struct TCase {
    S Step;
    std::uint32_t Before, After;
  };
  const TCase cases[] = {
      {{S::Counter, 0, 0, 100}, 0xFFFFFFFF, 0x00640009},
      {{S::Swing, 2, 7, -300}, 0xFFFFFFFF, 0xFED40721},
      {{S::Wait, 0, 0, 600}, 0xFFFFFFFF, 0x025800F8},   // the bus nibble stays
      {{S::ReadPos, 1, 0, 0}, 0xFFFFFFFF, 0xFFFF0012},  // the value stays
      {{S::ReadMea, 0, 0, 0}, 0xFFFFFFFF, 0xFFFF0003},
      {{S::Loop, 0, 0, 0}, 0xFFFFFFFF, 0xFFFF000E},
      {{S::End, 0, 0, 0}, 0x12345670, 0x1234567F},
  };
  for (const TCase& c : cases) {
    TInsStu slot{c.Before};
    ApplySwingStep(c.Step, slot);
    EXPECT_EQ(slot.Word, c.After) << std::hex << c.After;
  }
}

}  // namespace
