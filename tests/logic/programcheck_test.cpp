// The program check: which rows of a program get which findings for a node
// list, and that the generator's programs and the instruction texts' worked
// examples pass it.
#include <gtest/gtest.h>

#include <vector>

#include "programcheck.h"
#include "swingplan.h"

namespace {

using K = TFindingKind;

TInsStu Word(unsigned type, unsigned channel, unsigned addr, int value) {
  TInsStu w;
  w.SetInsType(type);
  w.SetChannel_CountIndex(channel);
  w.SetAddr_InsIndex(addr);
  w.SetPWM_Delay_Count(static_cast<std::uint16_t>(value));
  return w;
}

TInsStu SendPWM(unsigned bus, unsigned addr, int tenths) { return Word(InsSendPWM, bus, addr, tenths); }
TInsStu ReadPos(unsigned bus, unsigned addr) { return Word(InsReadPos, bus, addr, 0); }
TInsStu ReadMea(unsigned bus, unsigned addr) { return Word(InsReadMea, bus, addr, 0); }
TInsStu SendNM(unsigned bus, unsigned addr) { return Word(InsSendNM, bus, addr, 0x0001); }
TInsStu Delay(int ms) { return Word(InsDelay, 0, 0, ms); }
TInsStu SetCount(int counter, int value) { return Word(InsSetCount, counter - 1, 0, value); }
TInsStu Goto(int counter, int targetRow) { return Word(InsGoto, counter - 1, targetRow, 0); }
TInsStu End() { return Word(InsEnd, 0, 0, 0); }

TInsStu WordOfBytes(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  return TInsStu{std::uint32_t(b0) | std::uint32_t(b1) << 8 | std::uint32_t(b2) << 16 | std::uint32_t(b3) << 24};
}

TNodeStu Node(int channel, int addr, int angle = 0, int interv = 0) {
  TNodeStu n;
  n.Channel = channel;
  n.Addr = addr;
  n.Angle = angle;
  n.Interv = interv;
  return n;
}

std::vector<TProgramFinding> Check(const std::vector<TInsStu>& words, const std::vector<TNodeStu>& nodes) {
  return CheckProgram(words.data(), static_cast<std::int32_t>(words.size()), nodes);
}

struct TExpected {
  int Row;
  K Kind;
};

std::vector<TExpected> RowsAndKinds(const std::vector<TProgramFinding>& findings) {
  std::vector<TExpected> result;
  for (const TProgramFinding& f : findings) result.push_back({f.Row, f.Kind});
  return result;
}

bool operator==(const TExpected& a, const TExpected& b) { return a.Row == b.Row && a.Kind == b.Kind; }

void PrintTo(const TExpected& e, std::ostream* os) { *os << "{row " << e.Row << ", kind " << int(e.Kind) << "}"; }

const std::vector<TNodeStu> TwoNodes = {Node(1, 5), Node(2, 0x7F)};

TEST(ProgramCheckTest, FindingsByProgramAndNodeList) {
  struct TCase {
    const char* Name;
    std::vector<TInsStu> Words;
    std::vector<TNodeStu> Nodes;
    std::vector<TExpected> Findings;
  };
  const TCase cases[] = {
      {"a sound program", {SetCount(1, 3), SendPWM(1, 5, 300), ReadPos(2, 0x7F), Goto(1, 1), End()}, TwoNodes, {}},
      {"an empty program", {}, TwoNodes, {}},
      {"End alone", {End()}, {}, {}},
      {"no End marks the last row", {Delay(10), Delay(20)}, {}, {{1, K::NoEnd}}},
      {"an End anywhere counts", {End(), Delay(10)}, {}, {}},
      {"Goto to the last row is fine", {SetCount(2, 1), Goto(2, 1), End()}, {}, {}},
      {"Goto at the end", {SetCount(1, 1), Goto(1, 3), End()}, {}, {{1, K::GotoPastEnd}}},
      {"Goto far past the end", {SetCount(1, 1), Goto(1, 255), End()}, {}, {{1, K::GotoPastEnd}}},
      {"Goto on a counter never loaded", {SetCount(1, 5), Goto(2, 0), End()}, {}, {{1, K::CounterNotLoaded}}},
      {"the Set Count after the Goto does not count", {Goto(1, 0), SetCount(1, 5), End()}, {}, {{0, K::CounterNotLoaded}}},
      {"two findings on one Goto", {Goto(16, 9), End()}, {}, {{0, K::GotoPastEnd}, {0, K::CounterNotLoaded}}},
      {"each node instruction looks for its node",
       {SendPWM(1, 6, 0), ReadPos(1, 6), ReadMea(2, 5), SendNM(1, 0x7F), End()},
       TwoNodes,
       {{0, K::NoSuchNode}, {1, K::NoSuchNode}, {2, K::NoSuchNode}, {3, K::NoSuchNode}}},
      {"address 0 is not looked up", {SendPWM(1, 0, 100), ReadMea(0, 0), SendNM(2, 0), End()}, {}, {}},
      {"bus 0 finds a node on either bus", {ReadMea(0, 5), ReadMea(0, 0x7F), ReadMea(0, 6), End()}, TwoNodes,
       {{2, K::NoSuchNode}}},
      {"a bus code that names no bus finds no node", {ReadPos(5, 5), End()}, TwoNodes, {{0, K::NoSuchNode}}},
      {"words of other types are not looked at", {Word(4, 1, 9, 0), Word(12, 3, 200, 7), Delay(0), End()}, {}, {}},
      {"PWM limits", {SendPWM(1, 5, -1000), SendPWM(1, 5, 1000), SendPWM(1, 5, -1001), SendPWM(1, 5, 1001), End()},
       TwoNodes, {{2, K::PWMOutOfRange}, {3, K::PWMOutOfRange}}},
      {"PWM of a generated angle above 100", {SendPWM(1, 0, 3600), End()}, {}, {{0, K::PWMOutOfRange}}},
      {"everything on one row, and no End", {SendPWM(2, 9, -32768)}, TwoNodes,
       {{0, K::NoSuchNode}, {0, K::PWMOutOfRange}, {0, K::NoEnd}}},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(RowsAndKinds(Check(c.Words, c.Nodes)), c.Findings) << c.Name;
  }
}

TEST(ProgramCheckTest, TextsSayWhatIsWrong) {
  const std::vector<TInsStu> words = {SendPWM(0, 0x1A, 1005), ReadPos(2, 0x0B), ReadPos(9, 3), Goto(3, 200)};
  const std::vector<TProgramFinding> findings = Check(words, TwoNodes);
  EXPECT_EQ(FindingTextsOfRow(findings, 0),
            QStringList({"No node of the node list has address 1A on either bus", "PWM 100.5 is outside -100 to 100"}));
  EXPECT_EQ(FindingTextsOfRow(findings, 1), QStringList({"No node of the node list has address 0B on RS485"}));
  EXPECT_EQ(FindingTextsOfRow(findings, 2), QStringList({"No node of the node list has address 03 on bus 9"}));
  EXPECT_EQ(FindingTextsOfRow(findings, 3),
            QStringList({"Goto target 201 is past the last instruction (004)",
                         "Counter 3 is loaded by no SetCount before this Goto",
                         "The program has no End: the board runs on past its last instruction"}));
  EXPECT_TRUE(FindingTextsOfRow(findings, 4).isEmpty());
}

TEST(ProgramCheckTest, CountOutsideTheBufferIsClamped) {
  std::vector<TInsStu> buffer(MaxInsCount, Delay(1));
  buffer.back() = End();
  EXPECT_TRUE(CheckProgram(buffer.data(), MaxInsCount + 100, {}).empty());
  EXPECT_TRUE(CheckProgram(buffer.data(), -3, {}).empty());
  EXPECT_TRUE(CheckProgram(nullptr, 5, {}).empty());
}

// The generator writes into slots that may hold anything; the bits its steps
// leave alone must not make a finding.
std::vector<TInsStu> Generated(const std::vector<TNodeStu>& nodes, bool withReadPos) {
  std::vector<TInsStu> words;
  for (const TSwingStep& step : SwingPlan(nodes, withReadPos)) {
    TInsStu slot{0xFFFFFFFFu};
    ApplySwingStep(step, slot);
    words.push_back(slot);
  }
  return words;
}

TEST(ProgramCheckTest, TheGeneratorsProgramsHaveNoFindings) {
  const std::vector<std::vector<TNodeStu>> lists = {
      {Node(1, 3, 15, 250)},
      {Node(2, 0x64, 100, 5000), Node(2, 1, 100, 50)},
      {Node(1, 5, 30, 400), Node(2, 9, 45, 600), Node(1, 7, 30, 900)},  // one angle per bus
      {Node(1, 5, 30, 400), Node(2, 9, 45, 600), Node(1, 7, 20, 900)},  // one swing per node
      {Node(1, 1, 0, 0), Node(2, 1, 0, 0)},                              // both buses, one angle
      {Node(2, 0, 10, 100), Node(2, 0x40, 90, 100), Node(1, 0x22, 100, 300)},
  };
  for (const std::vector<TNodeStu>& nodes : lists) {
    for (bool withReadPos : {false, true}) {
      const std::vector<TInsStu> words = Generated(nodes, withReadPos);
      ASSERT_FALSE(words.empty());
      EXPECT_TRUE(Check(words, nodes).empty()) << nodes.size() << " nodes, read pos " << withReadPos;
    }
  }
}

// The eight worked examples of the instruction texts and the nodes they name.
const std::vector<TInsStu> WorkedExamples = {
    WordOfBytes(0x11, 0x05, 0x2C, 0x01), WordOfBytes(0x01, 0x1A, 0xC9, 0xFF), WordOfBytes(0x22, 0x7F, 0x00, 0x00),
    WordOfBytes(0x17, 0x03, 0x01, 0x00), WordOfBytes(0x08, 0x00, 0xF4, 0x01), WordOfBytes(0x09, 0x00, 0x64, 0x00),
    WordOfBytes(0xFE, 0x00, 0x00, 0x00), WordOfBytes(0x2F, 0x05, 0x00, 0x00)};
const std::vector<TNodeStu> WorkedExampleNodes = {Node(1, 0x05), Node(2, 0x1A), Node(2, 0x7F), Node(1, 0x03)};

// Each example as the one step of a program that loads counter 16 first and
// ends: nothing is wrong with any of them.
TEST(ProgramCheckTest, EachWorkedExampleHasNoFindings) {
  for (std::size_t i = 0; i < WorkedExamples.size(); ++i) {
    const std::vector<TInsStu> words = {SetCount(16, 2), WorkedExamples[i], End()};
    EXPECT_TRUE(Check(words, WorkedExampleNodes).empty()) << "example " << i + 1;
  }
}

// Run as they stand one after the other, only the Goto is wrong: nothing
// before it loads counter 16.
TEST(ProgramCheckTest, TheWorkedExamplesInASequenceFindOnlyTheUnloadedCounter) {
  const std::vector<TExpected> expected = {{6, K::CounterNotLoaded}};
  EXPECT_EQ(RowsAndKinds(Check(WorkedExamples, WorkedExampleNodes)), expected);
}

}  // namespace
