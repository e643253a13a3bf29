// The virtual board driven by the program's own link module and Transact,
// with the real main window: the sequences of Program and Load, device
// errors, polling, unasked reports and a running swing program.
#include <gtest/gtest.h>

#include <algorithm>

#include "boardprocess.h"
#include "programobjects.h"
#include "simwords.h"

namespace {

class SimLinkTest : public testing::Test {
 protected:
  void StartProgram(const QStringList& boardOptions = {}) {
    Program = std::make_unique<TProgramUnderTest>(
        [&](const QString& dir) { Board = std::make_unique<TBoardProcess>(dir, boardOptions); });
    ASSERT_TRUE(CommMod->Uart.Active());
  }
  void TearDown() override {
    Program.reset();
    Board.reset();
  }

  bool Send(const TPayloadStu& request, TPayloadStu& answer, std::uint32_t timeoutMs = 100) {
    MainForm->ShowStatus("Wait response...");
    return Transact(request, answer, timeoutMs);
  }
  bool Send(const TPayloadStu& request) {
    TPayloadStu answer;
    return Send(request, answer);
  }

  std::vector<TReport> Reports() const {
    std::vector<TReport> reports;
    for (const auto& p : Program->Dispatched)
      if (p.Head() == HeadReport) reports.push_back(ReadReport(p));
    return reports;
  }

  std::unique_ptr<TBoardProcess> Board;
  std::unique_ptr<TProgramUnderTest> Program;
};

struct TNodeEntry {
  int Channel, Addr;
};

const TNodeEntry Nodes[] = {{1, 5}, {2, 9}, {1, 7}};

std::vector<TInsStu> Words(const std::vector<std::uint32_t>& raw) {
  std::vector<TInsStu> words;
  for (std::uint32_t w : raw) words.push_back(TInsStu{w});
  return words;
}

std::vector<TInsStu> SwingProgramOnCan() { return Words(SwingProgram(1, 0)); }

void ProgramBoard(SimLinkTest& t, const TBusConfigBlock& config, const std::vector<TInsStu>& words,
                  bool (SimLinkTest::*send)(const TPayloadStu&)) {
  ASSERT_TRUE((t.*send)(MakeSetBusConfig(config)));
  ASSERT_TRUE((t.*send)(MakeErase()));
  for (const auto& n : Nodes) ASSERT_TRUE((t.*send)(MakeAddNode(n.Channel, n.Addr)));
  for (std::size_t i = 0; i < words.size(); ++i)
    ASSERT_TRUE((t.*send)(MakeSetInst(static_cast<int>(i), words[i].Word)));
}

TEST_F(SimLinkTest, ProgramThenLoadGivesBackTheSameSettingsNodesAndWords) {
  StartProgram();
  TBusConfigBlock config;
  config.CANBaud = 6;
  config.RS485Baud = 2;
  config.Pri = 17;
  config.IsExtID = true;
  config.PWMRpt = true;
  std::vector<TInsStu> words;
  for (unsigned i = 0; i < 10; ++i) words.push_back(Ins(1 + i % 3, 1, i, static_cast<std::uint16_t>(i * 100)));
  ProgramBoard(*this, config, words, &SimLinkTest::Send);
  ASSERT_TRUE(Send(MakeStore()));

  TPayloadStu answer;
  ASSERT_TRUE(Send(MakeRequest(CmdLoadBegin), answer));
  ASSERT_TRUE(Send(MakeRequest(CmdGetCounts), answer));
  EXPECT_EQ(ReadCounts(answer).Nodes, 3);
  EXPECT_EQ(ReadCounts(answer).Words, 10);
  ASSERT_TRUE(Send(MakeRequest(CmdGetBusConfig), answer));
  EXPECT_EQ(ReadBusConfig(answer), config);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(Send(MakeGetNode(i), answer));
    EXPECT_EQ(ReadNodeAnswer(answer).Channel, Nodes[i].Channel);
    EXPECT_EQ(ReadNodeAnswer(answer).Addr, Nodes[i].Addr);
  }
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(Send(MakeGetInst(i), answer));
    EXPECT_EQ(ReadInstAnswer(answer), words[i].Word) << i;
  }
  EXPECT_EQ(Program->Status(), "");
}

TEST_F(SimLinkTest, DeviceErrorsReachTheStatusLine) {
  StartProgram();
  TPayloadStu erase = MakeErase();
  erase.Bytes[4] = 'y';
  EXPECT_FALSE(Send(erase));
  EXPECT_EQ(Program->Status(), "The password for the inst is incorrect!");

  ASSERT_TRUE(Send(MakeErase()));
  EXPECT_FALSE(Send(MakeGetNode(0)));
  EXPECT_EQ(Program->Status(), "Index out of range!");
}

TEST_F(SimLinkTest, PollReturnsReportsNumberedFromTheRequestedSequence) {
  StartProgram();
  ProgramBoard(*this, TBusConfigBlock{}, SwingProgramOnCan(), &SimLinkTest::Send);
  ASSERT_TRUE(Send(MakeRequest(CmdStart)));
  PumpEvents(1000);  // the board runs and keeps its reports for the poll
  ASSERT_TRUE(Reports().empty());

  ASSERT_TRUE(SendPoll(0, 8));
  ASSERT_TRUE(WaitUntil([&] { return Reports().size() >= 8; }, 2000));
  PumpEvents(100);
  const auto first = Reports();
  ASSERT_EQ(first.size(), 8u);

  Program->Dispatched.clear();
  ASSERT_TRUE(SendPoll(4, 4));
  ASSERT_TRUE(WaitUntil([&] { return Reports().size() >= 4; }, 2000));
  PumpEvents(100);
  const auto again = Reports();
  ASSERT_EQ(again.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(again[i].Tick, first[4 + i].Tick) << i;
    EXPECT_EQ(again[i].KindByte, first[4 + i].KindByte) << i;
    EXPECT_EQ(again[i].Value, first[4 + i].Value) << i;
  }
  EXPECT_TRUE(Send(MakeRequest(CmdStop)));
}

TEST_F(SimLinkTest, SwingProgramReportsPositionsTravellingBetweenTheAngles) {
  StartProgram();
  TBusConfigBlock config;
  config.AutoRpt = true;
  ProgramBoard(*this, config, SwingProgramOnCan(), &SimLinkTest::Send);
  ASSERT_TRUE(Send(MakeRequest(CmdStart)));
  // Reports come unasked; after a few swings both ends have been
  // reached by both nodes of the bus.
  ASSERT_TRUE(WaitUntil(
      [&] {
        int high = 0, low = 0;
        for (const auto& r : Reports()) {
          if (r.Kind != TReportKind::Position) continue;
          high += r.Value >= 250;
          low += r.Value <= -250;
        }
        return high >= 2 && low >= 2;
      },
      8000));
  const auto reports = Reports();
  for (const auto& r : reports) {
    if (r.Kind == TReportKind::Position) {
      EXPECT_GE(r.Value, -300);
      EXPECT_LE(r.Value, 300);
      EXPECT_EQ(r.Bus, 1);
    }
  }
  EXPECT_TRUE(std::any_of(reports.begin(), reports.end(),
                          [](const TReport& r) { return r.Kind == TReportKind::Measurement; }));
  EXPECT_TRUE(Send(MakeRequest(CmdStop)));
}

TEST_F(SimLinkTest, LatencyWithinTheTimeOutAndDroppedAnswers) {
  StartProgram({"--latency", "30", "--drop-every", "3"});
  EXPECT_TRUE(Send(MakeRequest(CmdLoadBegin)));
  EXPECT_TRUE(Send(MakeRequest(CmdLoadBegin)));
  EXPECT_FALSE(Send(MakeRequest(CmdLoadBegin)));  // the third gets no answer
  EXPECT_EQ(Program->Status(), "Wait response...");
  EXPECT_TRUE(Send(MakeRequest(CmdLoadBegin)));
}

TEST_F(SimLinkTest, NoiseAndBadChecksumsAreSurvived) {
  StartProgram({"--noise", "--seed", "7", "--bad-checksum-every", "4"});
  int answered = 0;
  for (int i = 0; i < 12; ++i) answered += Send(MakeRequest(CmdGetCounts));
  EXPECT_EQ(answered, 9);  // every fourth answer is spoiled and dropped
}

}  // namespace
