// Program and Load as plain sequences, run against the virtual board's own
// core in the same process: which requests go out, in which order, and what
// the answers give back.
#include <gtest/gtest.h>

#include "board.h"
#include "transfer.h"

namespace {

TConfigStu Config(int canBaud, int rs485Baud, int pri, bool ext) {
  TConfigStu c;
  c.CANBaud = canBaud;
  c.RS485Baud = rs485Baud;
  c.Pri = pri;
  c.IsExtID = ext;
  c.AutoStart = true;
  c.PWMRpt = true;
  return c;
}

TNodeStu Node(int channel, int addr) { return MakeNode({}, channel, addr); }

// The board's core answering each request at once; it can be told to stay
// silent from a given request on, as a board that stops answering.
class TBoardLine {
 public:
  explicit TBoardLine(TBoardImage stored = {}) : Board(std::move(stored)) {}

  TTransactFn Transact() {
    return [this](const TPayloadStu& request, TPayloadStu& answer, std::uint32_t timeoutMs) {
      Sent.push_back(request.Code());
      Timeouts.push_back(timeoutMs);
      if (static_cast<int>(Sent.size()) > AnswerCount) return false;
      const std::vector<TPayloadStu> answers = Board.Handle(request);
      if (answers.empty()) return false;
      answer = answers.front();
      return !answer.IsError() || answer.U8(1) == 0;
    };
  }

  TBoard Board;
  std::vector<int> Sent;
  std::vector<std::uint32_t> Timeouts;
  int AnswerCount = 1 << 30;
};

// Records what Load hands over.
struct TRecordingSink : TLoadSink {
  void BusConfigRead(const TBusConfigBlock& block) override { Configs.push_back(block); }
  void NodeRead(const TNodeStu& node) override { Nodes.push_back(node); }
  void ProgramRead(const std::vector<TInsStu>& words) override { Programs.push_back(words); }

  std::vector<TBusConfigBlock> Configs;
  std::vector<TNodeStu> Nodes;
  std::vector<std::vector<TInsStu>> Programs;
};

std::vector<TInsStu> Words(int count) {
  std::vector<TInsStu> words;
  for (int i = 0; i < count; ++i) words.push_back(TInsStu{0x00010001u * static_cast<unsigned>(i + 1)});
  return words;
}

TEST(ProgramTest, EmptyListsSendSettingsEraseAndStoreOnly) {
  TBoardLine line;
  const auto steps = ProgramSteps(Config(1, 2, 3, false), {}, nullptr, 0);
  EXPECT_TRUE(RunProgram(steps, line.Transact()));
  EXPECT_EQ(line.Sent, (std::vector<int>{CmdSetBusConfig, CmdErase, CmdStore}));
  EXPECT_EQ(line.Timeouts, (std::vector<std::uint32_t>{100, 350, 250}));
}

TEST(ProgramTest, NodesAndWordsGoOutInOrderAndTheBoardStoresThem) {
  TBoardLine line;
  const std::vector<TNodeStu> nodes = {Node(1, 5), Node(2, 9), Node(1, 7)};
  const std::vector<TInsStu> words = Words(10);
  std::vector<std::pair<int, int>> progress;
  const auto steps = ProgramSteps(Config(4, 3, 40, true), nodes, words.data(), 10);
  ASSERT_EQ(steps.size(), 16u);
  EXPECT_TRUE(RunProgram(steps, line.Transact(), [&](int done, int total) { progress.push_back({done, total}); }));
  ASSERT_EQ(progress.size(), 16u);
  EXPECT_EQ(progress.back(), std::make_pair(16, 16));
  EXPECT_EQ(line.Timeouts[2], 250u) << "AddNode waits 250 ms";
  const TBoardImage& stored = line.Board.Stored();
  EXPECT_EQ(stored.Config.Pri, 8) << "40 goes out as its low five bits";
  EXPECT_TRUE(stored.Config.IsExtID);
  ASSERT_EQ(stored.Nodes.size(), 3u);
  EXPECT_EQ(stored.Nodes[1], (TNodeEntry{2, 9}));
  ASSERT_EQ(stored.Program.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(stored.Program[i], words[i].Word);
}

TEST(ProgramTest, StopsAtTheFirstFailureButIgnoresTheStoreAnswer) {
  TBoardLine line;
  line.AnswerCount = 1;  // the board goes silent after the bus settings
  EXPECT_FALSE(RunProgram(ProgramSteps(Config(0, 0, 0, false), {Node(1, 1)}, nullptr, 0), line.Transact()));
  EXPECT_EQ(line.Sent, (std::vector<int>{CmdSetBusConfig, CmdErase}));

  TBoardLine storeLost;
  storeLost.AnswerCount = 3;  // everything but the store is answered
  EXPECT_TRUE(RunProgram(ProgramSteps(Config(0, 0, 0, false), {Node(1, 1)}, nullptr, 0), storeLost.Transact()));
  EXPECT_EQ(storeLost.Sent.size(), 4u);
}

TBoardImage BoardWith(int nodes, int words) {
  TBoardImage image;
  image.Config.CANBaud = 2;
  image.Config.RS485Baud = 5;
  image.Config.Pri = 8;
  image.Config.AutoRpt = true;
  for (int i = 0; i < nodes; ++i) image.Nodes.push_back({static_cast<std::uint8_t>(1 + i % 2), static_cast<std::uint8_t>(10 + i)});
  for (const TInsStu& w : Words(words)) image.Program.push_back(w.Word);
  return image;
}

TEST(LoadTest, ThreeNodesAndTenWordsTakeSixteenTransactions) {
  TBoardLine line(BoardWith(3, 10));
  TRecordingSink sink;
  int lastDone = 0, lastTotal = 0;
  const TLoadOutcome outcome = RunLoad(line.Transact(), sink, [&](int d, int t) { lastDone = d, lastTotal = t; });
  EXPECT_EQ(outcome.Result, TLoadResult::Complete);
  EXPECT_EQ(outcome.Counts.Nodes, 3);
  EXPECT_EQ(outcome.Counts.Words, 10);
  EXPECT_EQ(line.Sent.size(), 16u);
  EXPECT_EQ(std::make_pair(lastDone, lastTotal), std::make_pair(16, 16));
  ASSERT_EQ(sink.Configs.size(), 1u);
  EXPECT_EQ(sink.Configs[0], BoardWith(0, 0).Config);
  ASSERT_EQ(sink.Nodes.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(sink.Nodes[i].NodeName, QStringLiteral("Node%1").arg(i + 1));
    EXPECT_EQ(sink.Nodes[i].Channel, 1 + i % 2);
    EXPECT_EQ(sink.Nodes[i].Addr, 10 + i);
    EXPECT_EQ(sink.Nodes[i].Angle, 60);
    EXPECT_EQ(sink.Nodes[i].Interv, 50);
  }
  ASSERT_EQ(sink.Programs.size(), 1u);
  EXPECT_EQ(sink.Programs[0], Words(10));
}

TEST(LoadTest, AnEmptyBoardGivesAnEmptyProgram) {
  TBoardLine line;
  TRecordingSink sink;
  EXPECT_EQ(RunLoad(line.Transact(), sink).Result, TLoadResult::Complete);
  EXPECT_TRUE(sink.Nodes.empty());
  ASSERT_EQ(sink.Programs.size(), 1u);
  EXPECT_TRUE(sink.Programs[0].empty());
}

TEST(LoadTest, AStopHandsOverOnlyWhatCameBeforeIt) {
  struct TCase {
    int Answered;
    std::size_t Configs, Nodes, Programs;
  };
  // 1 LoadBegin, 2 GetCounts, 3 GetBusConfig, 4-6 nodes, 7-16 words.
  const TCase cases[] = {{0, 0, 0, 0}, {2, 0, 0, 0}, {3, 1, 0, 0}, {5, 1, 2, 0}, {6 + 5, 1, 3, 0}, {15, 1, 3, 0}};
  for (const TCase& c : cases) {
    TBoardLine line(BoardWith(3, 10));
    line.AnswerCount = c.Answered;
    TRecordingSink sink;
    EXPECT_EQ(RunLoad(line.Transact(), sink).Result, TLoadResult::Stopped) << c.Answered;
    EXPECT_EQ(sink.Configs.size(), c.Configs) << c.Answered;
    EXPECT_EQ(sink.Nodes.size(), c.Nodes) << c.Answered;
    EXPECT_EQ(sink.Programs.size(), c.Programs) << c.Answered << ": a partial program is never handed over";
  }
}

TEST(LoadTest, ABoardWithMoreWordsThanFitIsRefusedBeforeAnythingIsRead) {
  std::vector<int> sent;
  const TTransactFn board = [&](const TPayloadStu& request, TPayloadStu& answer, std::uint32_t) {
    sent.push_back(request.Code());
    answer = MakeAnswer(request.Code());
    if (request.Code() == CmdGetCounts) {
      answer.Bytes[1] = 3;
      answer.SetU16(2, 300);
    }
    return true;
  };
  TRecordingSink sink;
  const TLoadOutcome outcome = RunLoad(board, sink);
  EXPECT_EQ(outcome.Result, TLoadResult::TooManyWords);
  EXPECT_EQ(outcome.Counts.Words, 300);
  EXPECT_EQ(sent, (std::vector<int>{CmdLoadBegin, CmdGetCounts}));
  EXPECT_TRUE(sink.Configs.empty());
  EXPECT_TRUE(sink.Nodes.empty());
  EXPECT_EQ(TooManyWordsText(300), "The board holds 300 instruction words; at most 256 fit. Nothing was loaded.");
}

TEST(LoadTest, ExactlyTheMostWordsThatFitAreLoaded) {
  TBoardLine line(BoardWith(0, 256));
  TRecordingSink sink;
  EXPECT_EQ(RunLoad(line.Transact(), sink).Result, TLoadResult::Complete);
  ASSERT_EQ(sink.Programs.size(), 1u);
  EXPECT_EQ(sink.Programs[0].size(), 256u);
}

}  // namespace
