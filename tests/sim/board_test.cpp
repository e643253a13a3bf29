// The board core without any line: requests and answers, the node table and
// the program, the stored copy, the report ring and the program interpreter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board.h"
#include "interpreter.h"
#include "reportring.h"
#include "simwords.h"

namespace {

TPayloadStu Payload(std::initializer_list<int> bytes) {
  TPayloadStu p;
  int i = 0;
  for (int b : bytes) p.Bytes[i++] = static_cast<std::uint8_t>(b);
  return p;
}

std::string Hex(const TPayloadStu& p) {
  std::string text;
  for (std::uint8_t b : p.Bytes) {
    char h[4];
    std::snprintf(h, sizeof h, "%02X ", b);
    text += h;
  }
  return text;
}

TBoardImage SampleImage() {
  TBoardImage image;
  image.Config.CANBaud = 3;
  image.Config.RS485Baud = 6;
  image.Config.Pri = 5;
  image.Config.IsExtID = true;
  image.Config.PWMRpt = true;
  image.Nodes = {{1, 0x05}, {2, 0x7F}};
  image.Program = {0x11111111, 0x22222222, 0xDEADBEEF};
  return image;
}

TPayloadStu AskOne(TBoard& board, const TPayloadStu& request) {
  const std::vector<TPayloadStu> answers = board.Handle(request);
  EXPECT_EQ(answers.size(), 1u) << Hex(request);
  return answers.empty() ? TPayloadStu{} : answers.front();
}

// Runs the board clock in 1 ms steps, as the serve loop does.
void RunFor(TBoard& board, std::uint64_t fromMs, std::uint64_t toMs) {
  for (std::uint64_t t = fromMs; t <= toMs; ++t) board.AdvanceTo(t);
}

struct TAnswerCase {
  const char* Name;
  TPayloadStu Request;
  TPayloadStu Answer;
};

TEST(Board, AnswersEveryCommand) {
  const TAnswerCase cases[] = {
      {"LoadBegin", Payload({1}), Payload({0x81})},
      {"GetCounts", Payload({2}), Payload({0x82, 2, 3, 0})},
      {"GetBusConfig", Payload({4}), Payload({0x84, 3, 6, 0x85, 4})},
      {"GetNode 0", Payload({5, 0}), Payload({0x85, 1, 0x05})},
      {"GetNode 1", Payload({5, 1}), Payload({0x85, 2, 0x7F})},
      {"GetNode 2 is past the table", Payload({5, 2}), Payload({0xC5, 2})},
      {"GetNode 255", Payload({5, 255}), Payload({0xC5, 2})},
      {"GetInst 2", Payload({11, 0, 2, 0}), Payload({0x8B, 0, 0, 0, 0xEF, 0xBE, 0xAD, 0xDE})},
      {"GetInst 3 is past the program", Payload({11, 0, 3, 0}), Payload({0xCB, 2})},
      {"GetInst 256", Payload({11, 0, 0, 1}), Payload({0xCB, 2})},
      {"SetInst replaces", Payload({10, 0, 1, 0, 1, 2, 3, 4}), Payload({0x8A})},
      {"SetInst appends", Payload({10, 0, 3, 0, 1, 2, 3, 4}), Payload({0x8A})},
      {"SetInst past the count", Payload({10, 0, 4, 0, 1, 2, 3, 4}), Payload({0xCA, 2})},
      {"AddNode", Payload({6, 1, 9}), Payload({0x86})},
      {"SetBusConfig", Payload({3, 1, 2, 3, 4}), Payload({0x83})},
      {"Erase with a wrong password", Payload({12, 'k', 'q', 'v', 'y'}), Payload({0xCC, 4})},
      {"Store with a wrong password", Payload({13, 'j', 'm', 't', 'x'}), Payload({0xCD, 4})},
      {"Store with Erase's password", Payload({13, 'k', 'q', 'v', 'x'}), Payload({0xCD, 4})},
      {"Erase", Payload({12, 'k', 'q', 'v', 'x'}), Payload({0x8C})},
      {"Store", Payload({13, 'j', 'm', 't', 'w'}), Payload({0x8D})},
      {"Start carries the tick", Payload({8}), Payload({0x88, 0, 0x39, 0x30})},
      {"Stop carries the tick", Payload({9}), Payload({0x89, 0, 0x39, 0x30})},
      {"code 0 is unknown", Payload({0}), Payload({0xC0, 1})},
      {"code 7 is unknown", Payload({7}), Payload({0xC7, 1})},
      {"code 15 is unknown", Payload({15}), Payload({0xCF, 1})},
      {"code 63 is unknown", Payload({63}), Payload({0xFF, 1})},
      {"a head with the error bit is unknown", Payload({0x42}), Payload({0xC2, 1})},
  };
  for (const TAnswerCase& c : cases) {
    TBoard board(SampleImage());
    board.AdvanceTo(12345);  // 0x3039
    EXPECT_EQ(Hex(AskOne(board, c.Request)), Hex(c.Answer)) << c.Name;
  }
}

TEST(Board, EveryHeadByteGetsAnAnswerForItsCode) {
  std::mt19937 random(2024);
  std::uniform_int_distribution<int> byte(0, 255);
  TBoard board(SampleImage());
  for (int round = 0; round < 20; ++round) {
    for (int head = 0; head < 256; ++head) {
      TPayloadStu request;
      request.Bytes[0] = static_cast<std::uint8_t>(head);
      for (int i = 1; i < 8; ++i) request.Bytes[i] = static_cast<std::uint8_t>(byte(random));
      board.AdvanceTo(static_cast<std::uint64_t>(round * 256 + head));
      const std::vector<TPayloadStu> answers = board.Handle(request);
      if (head == CmdPoll) continue;  // reports, possibly none
      ASSERT_EQ(answers.size(), 1u) << head;
      EXPECT_TRUE(answers[0].FromBoard()) << head;
      EXPECT_EQ(answers[0].Code(), head & HeadCodeMask) << head;
    }
  }
  EXPECT_LE(board.Working().Nodes.size(), MaxBoardNodes);
  EXPECT_LE(board.Working().Program.size(), MaxBoardWords);
}

TEST(Board, StartsFromTheStoredCopy) {
  const TBoard board(SampleImage());
  EXPECT_EQ(board.Working(), SampleImage());
  EXPECT_EQ(board.Stored(), SampleImage());
  EXPECT_FALSE(board.Running());
}

TEST(Board, SetInstAppendsAtTheCountReplacesBelowItAndStopsAt256) {
  TBoard board;
  for (int i = 0; i < 256; ++i) EXPECT_EQ(AskOne(board, MakeSetInst(i, 1000u + i)).Head(), 0x8A) << i;
  EXPECT_EQ(Hex(AskOne(board, MakeSetInst(256, 7))), Hex(Payload({0xCA, 2})));
  EXPECT_EQ(AskOne(board, MakeSetInst(17, 0xABCD1234)).Head(), 0x8A);
  EXPECT_EQ(ReadCounts(AskOne(board, MakeRequest(CmdGetCounts))).Words, 256);
  EXPECT_EQ(ReadInstAnswer(AskOne(board, MakeGetInst(17))), 0xABCD1234u);
  EXPECT_EQ(ReadInstAnswer(AskOne(board, MakeGetInst(255))), 1255u);
}

TEST(Board, NodeTableHolds255Nodes) {
  TBoard board;
  for (int i = 0; i < 255; ++i) EXPECT_EQ(AskOne(board, MakeAddNode(1 + i % 2, i)).Head(), 0x86) << i;
  EXPECT_EQ(Hex(AskOne(board, MakeAddNode(1, 1))), Hex(Payload({0xC6, 6})));
  EXPECT_EQ(ReadCounts(AskOne(board, MakeRequest(CmdGetCounts))).Nodes, 255);
  const TNodeAnswer last = ReadNodeAnswer(AskOne(board, MakeGetNode(254)));
  EXPECT_EQ(last.Channel, 1);
  EXPECT_EQ(last.Addr, 254);
}

TEST(Board, EraseClearsNodesAndProgramKeepsTheSettingsAndStopsTheProgram) {
  TBoardImage image = SampleImage();
  image.Program = {ReadPos(1, 5), Delay(10), Goto(0, 0)};
  TBoard board(image);
  AskOne(board, MakeRequest(CmdStart));
  EXPECT_TRUE(board.Running());
  EXPECT_EQ(AskOne(board, MakeErase()).Head(), 0x8C);
  EXPECT_FALSE(board.Running());
  const TCounts counts = ReadCounts(AskOne(board, MakeRequest(CmdGetCounts)));
  EXPECT_EQ(counts.Nodes, 0);
  EXPECT_EQ(counts.Words, 0);
  EXPECT_EQ(ReadBusConfig(AskOne(board, MakeRequest(CmdGetBusConfig))), image.Config);
  EXPECT_EQ(Hex(AskOne(board, MakeGetNode(0))), Hex(Payload({0xC5, 2})));
}

TEST(Board, WrongErasePasswordChangesNothing) {
  TBoard board(SampleImage());
  AskOne(board, Payload({12, 'K', 'Q', 'V', 'X'}));
  EXPECT_EQ(board.Working(), SampleImage());
}

TEST(Board, BusConfigReadsBackWithoutTheUnusedBits) {
  TBoard board;
  AskOne(board, Payload({3, 0xFF, 0x07, 0xE5, 0xFF}));
  const TPayloadStu answer = AskOne(board, MakeRequest(CmdGetBusConfig));
  EXPECT_EQ(Hex(answer), Hex(Payload({0x84, 0xFF, 0x07, 0x85, 0x07})));
}

TEST(Board, StoreWritesTheWorkingSetToFlash) {
  std::vector<TBoardImage> written;
  TBoard board({}, [&](const TBoardImage& image) {
    written.push_back(image);
    return true;
  });
  AskOne(board, MakeSetBusConfig(SampleImage().Config));
  AskOne(board, MakeAddNode(1, 5));
  AskOne(board, MakeAddNode(2, 0x7F));
  AskOne(board, MakeSetInst(0, 0x11111111));
  AskOne(board, MakeSetInst(1, 0x22222222));
  AskOne(board, MakeSetInst(2, 0xDEADBEEF));
  EXPECT_TRUE(board.Stored().Nodes.empty());
  EXPECT_EQ(AskOne(board, MakeStore()).Head(), 0x8D);
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], SampleImage());
  EXPECT_EQ(board.Stored(), SampleImage());
}

TEST(Board, FailedFlashWriteIsAStorageErrorAndKeepsTheOldStoredCopy) {
  TBoard board(SampleImage(), [](const TBoardImage&) { return false; });
  AskOne(board, MakeErase());
  EXPECT_EQ(Hex(AskOne(board, MakeStore())), Hex(Payload({0xCD, 5})));
  EXPECT_EQ(board.Stored(), SampleImage());
}

TEST(Board, TickWrapsAt65536) {
  TBoard board;
  board.AdvanceTo(65536 + 300);
  EXPECT_EQ(ReadTickAnswer(AskOne(board, MakeRequest(CmdStart))), 300);
  board.AdvanceTo(2 * 65536 - 1);
  EXPECT_EQ(ReadTickAnswer(AskOne(board, MakeRequest(CmdStop))), 65535);
  board.AdvanceTo(1000);  // the clock never runs back
  EXPECT_EQ(board.Tick(), 65535);
}

// --- the report ring -------------------------------------------------------

TPayloadStu NumberedReport(int n) { return MakeReport(ReportKindPos, 1, 1, static_cast<std::uint16_t>(n), n); }

std::vector<int> Numbers(const std::vector<TPayloadStu>& reports) {
  std::vector<int> numbers;
  for (const TPayloadStu& r : reports) numbers.push_back(r.U16(4));
  return numbers;
}

std::vector<int> Range(int from, int to) {
  std::vector<int> r;
  for (int n = from; n < to; ++n) r.push_back(n);
  return r;
}

struct TRingCase {
  const char* Name;
  int Produced;
  int Seq;
  int Count;
  std::vector<int> Want;  // absolute report numbers
};

TEST(ReportRing, ServesFromTheRequestedNumber) {
  const TRingCase cases[] = {
      {"nothing produced", 0, 0, 10, {}},
      {"from the first", 5, 0, 10, Range(0, 5)},
      {"at most count", 5, 0, 3, Range(0, 3)},
      {"from the middle", 5, 2, 10, Range(2, 5)},
      {"count 0", 5, 2, 0, {}},
      {"all received: nothing new", 5, 5, 10, {}},
      {"not produced yet", 5, 9, 10, {}},
      {"number above 511", 5, 512, 10, {}},
      {"before the wrap point", 600, 90, 4, Range(90, 94)},
      {"after the wrap, numbers restart at 0", 600, 10, 4, Range(522, 526)},
      {"all received after a wrap", 600, 88, 4, {}},
      {"number wraps to 0", 515, 510, 10, Range(510, 515)},
      {"oldest reachable is 511 behind", 1000, 1000 % 512 + 1, 3, Range(1000 - 511, 1000 - 508)},
  };
  for (const TRingCase& c : cases) {
    TReportRing ring;
    for (int n = 0; n < c.Produced; ++n) ring.Push(NumberedReport(n));
    std::vector<int> want;
    for (int n : c.Want) want.push_back(n & 0xFFFF);
    EXPECT_EQ(Numbers(ring.From(static_cast<std::uint16_t>(c.Seq), static_cast<std::uint16_t>(c.Count))), want)
        << c.Name;
  }
}

TEST(ReportRing, ResetNumbersFromZeroAgain) {
  TReportRing ring;
  for (int n = 0; n < 700; ++n) ring.Push(NumberedReport(n));
  ring.Reset();
  EXPECT_TRUE(ring.From(0, 10).empty());
  ring.Push(NumberedReport(7));
  EXPECT_EQ(Numbers(ring.From(0, 10)), std::vector<int>{7});
}

// --- running the program -----------------------------------------------------

struct TSwingRun {
  std::vector<TReport> Reports;
  double MinSeenDeg = 0;
  double MaxSeenDeg = 0;
};

TSwingRun RunSwing(std::uint64_t untilMs) {
  TBoardImage image;
  image.Config.AutoRpt = true;
  image.Config.PWMRpt = true;
  image.Nodes = {{1, 5}};
  image.Program = SwingProgram(1, 5);
  TBoard board(image);
  board.AdvanceTo(0);
  AskOne(board, MakeRequest(CmdStart));
  TSwingRun run;
  for (std::uint64_t t = 0; t <= untilMs; ++t) {
    board.AdvanceTo(t);
    const double deg = board.Nodes().Servo(0).PositionDeg();
    run.MinSeenDeg = std::min(run.MinSeenDeg, deg);
    run.MaxSeenDeg = std::max(run.MaxSeenDeg, deg);
    for (const TPayloadStu& p : board.TakeUnsolicited()) run.Reports.push_back(ReadReport(p));
  }
  EXPECT_FALSE(board.Running());
  return run;
}

std::vector<TReport> OfKind(const std::vector<TReport>& reports, TReportKind kind) {
  std::vector<TReport> r;
  std::copy_if(reports.begin(), reports.end(), std::back_inserter(r), [&](const TReport& x) { return x.Kind == kind; });
  return r;
}

TEST(Interpreter, SwingProgramTravelsBetweenMinusAndPlus30Degrees) {
  const TSwingRun run = RunSwing(81000);
  EXPECT_DOUBLE_EQ(run.MinSeenDeg, -30.0);
  EXPECT_DOUBLE_EQ(run.MaxSeenDeg, 30.0);
  const std::vector<TReport> positions = OfKind(run.Reports, TReportKind::Position);
  ASSERT_EQ(positions.size(), 200u);
  for (std::size_t k = 0; k < positions.size(); ++k) {
    EXPECT_EQ(positions[k].Value, k % 2 == 0 ? 300 : -300) << k;
    EXPECT_EQ(positions[k].Tick, static_cast<std::uint16_t>(400 * (k + 1))) << k;  // wraps past 65535
    EXPECT_EQ(positions[k].Bus, 1);
    EXPECT_EQ(positions[k].Addr, 5);
  }
  const std::vector<TReport> measures = OfKind(run.Reports, TReportKind::Measurement);
  ASSERT_EQ(measures.size(), 200u);
  for (const TReport& m : measures) {
    EXPECT_GE(m.Temperature, 25);
    EXPECT_LE(m.Temperature, 50);
    EXPECT_GT(m.Value, 0);
    EXPECT_LE(m.Value, 120);
  }
  EXPECT_GT(measures.back().Temperature, measures.front().Temperature);  // it warmed up
  const std::vector<TReport> pwm = OfKind(run.Reports, TReportKind::PWM);
  ASSERT_EQ(pwm.size(), 200u);
  EXPECT_EQ(pwm[0].Value, 300);
  EXPECT_EQ(pwm[0].Tick, 0);
  EXPECT_EQ(pwm[1].Value, -300);
}

TEST(Interpreter, ServoTurnsAt300DegreesPerSecondAndDrawsCurrentWhileMoving) {
  TBoardImage image;
  image.Nodes = {{1, 5}};
  image.Program = {SendPWM(1, 5, 300), Delay(1000), End()};
  TBoard board(image);
  AskOne(board, MakeRequest(CmdStart));
  const double idleCurrent = board.Nodes().Servo(0).CurrentA();
  RunFor(board, 0, 50);
  EXPECT_NEAR(board.Nodes().Servo(0).PositionDeg(), 15.0, 1e-9);
  const double movingCurrent = board.Nodes().Servo(0).CurrentA();
  EXPECT_GT(movingCurrent, idleCurrent);
  RunFor(board, 51, 400);
  EXPECT_DOUBLE_EQ(board.Nodes().Servo(0).PositionDeg(), 30.0);
  EXPECT_LT(board.Nodes().Servo(0).CurrentA(), movingCurrent);
  EXPECT_GT(board.Nodes().Servo(0).TemperatureC(), 25.0);
}

TEST(Interpreter, ReportsWaitForThePollWithoutAutoRpt) {
  TBoardImage image;
  image.Nodes = {{1, 5}, {2, 6}};
  image.Program = {ReadPos(0, 0), ReadMea(0, 0), Delay(100), Goto(0, 0)};
  TBoard board(image);
  AskOne(board, MakeRequest(CmdStart));
  RunFor(board, 0, 250);  // Goto with counter 0 falls through: one round of four reports
  EXPECT_TRUE(board.TakeUnsolicited().empty());
  EXPECT_EQ(board.ReportsProduced(), 4u);
  EXPECT_EQ(board.Handle(MakePoll(0, 40)).size(), 4u);
}

TEST(Interpreter, PollAnswersWithTheNumberedReports) {
  TBoardImage image;
  image.Nodes = {{1, 5}, {2, 6}};
  image.Program = {SetCount(3, 50), ReadPos(0, 0), ReadMea(0, 0), Delay(100), Goto(3, 1), End()};
  TBoard board(image);
  AskOne(board, MakeRequest(CmdStart));
  RunFor(board, 0, 250);
  EXPECT_EQ(board.ReportsProduced(), 12u);
  const std::vector<TPayloadStu> all = board.Handle(MakePoll(0, 40));
  ASSERT_EQ(all.size(), 12u);
  const std::vector<TPayloadStu> tail = board.Handle(MakePoll(8, 40));
  ASSERT_EQ(tail.size(), 4u);
  for (std::size_t i = 0; i < tail.size(); ++i) EXPECT_EQ(tail[i], all[8 + i]);
  EXPECT_EQ(ReadReport(all[0]).Kind, TReportKind::Position);
  EXPECT_EQ(ReadReport(all[0]).Bus, 1);
  EXPECT_EQ(ReadReport(all[1]).Bus, 2);
  EXPECT_EQ(ReadReport(all[2]).Kind, TReportKind::Measurement);
  EXPECT_EQ(ReadReport(all[4]).Tick, 100);
  EXPECT_TRUE(board.Handle(MakePoll(12, 40)).empty());
  // A new Start numbers the reports from 0 again.
  AskOne(board, MakeRequest(CmdStart));
  EXPECT_TRUE(board.Handle(MakePoll(0, 40)).empty());
}

TEST(Interpreter, AutoStartRunsTheStoredProgramFromStartUp) {
  TBoardImage image;
  image.Config.AutoStart = true;
  image.Config.AutoRpt = true;
  image.Nodes = {{1, 5}};
  image.Program = {ReadPos(1, 5), Delay(100), Goto(0, 0)};
  TBoard board(image);
  EXPECT_TRUE(board.Running());
  board.AdvanceTo(10);
  EXPECT_EQ(board.TakeUnsolicited().size(), 1u);
}

TEST(Interpreter, LoopWithoutDelayIsBoundedPerMillisecond) {
  TBoardImage image;
  image.Nodes = {{1, 5}};
  image.Program = {ReadPos(1, 5), SetCount(0, 2), Goto(0, 0)};  // never ends, never waits
  TBoard board(image);
  AskOne(board, MakeRequest(CmdStart));
  RunFor(board, 0, 9);
  EXPECT_TRUE(board.Running());
  const std::uint64_t perMs = (TProgramRunner::MaxStepsPerMs + 2) / 3;
  EXPECT_GT(board.ReportsProduced(), 0u);
  EXPECT_LE(board.ReportsProduced(), 10 * perMs);
  // A long stall is not caught up step by step.
  const std::uint64_t before = board.ReportsProduced();
  board.AdvanceTo(3600 * 1000);
  const std::uint64_t steps = TProgramRunner::MaxStepsPerRun + TProgramRunner::MaxStepsPerMs;
  EXPECT_LE(board.ReportsProduced() - before, steps / 3 + 1);
  AskOne(board, MakeRequest(CmdStop));
  EXPECT_FALSE(board.Running());
}

// --- the interpreter against a recorder ---------------------------------------

class TRecordingBus final : public TBusActions {
 public:
  std::vector<std::string> Calls;

  void SendPWM(int bus, int addr, std::int16_t value, std::uint64_t atMs) override {
    Add("pwm " + std::to_string(bus) + " " + std::to_string(addr) + " " + std::to_string(value), atMs);
  }
  void ReadPos(int bus, int addr, std::uint64_t atMs) override {
    Add("pos " + std::to_string(bus) + " " + std::to_string(addr), atMs);
  }
  void ReadMea(int bus, int addr, std::uint64_t atMs) override {
    Add("mea " + std::to_string(bus) + " " + std::to_string(addr), atMs);
  }
  void SendNM(int bus, int addr, std::uint8_t first, std::uint8_t second, std::uint64_t atMs) override {
    Add("nm " + std::to_string(bus) + " " + std::to_string(addr) + " " + std::to_string(first) + " " +
            std::to_string(second),
        atMs);
  }

 private:
  void Add(const std::string& call, std::uint64_t atMs) { Calls.push_back(call + " @" + std::to_string(atMs)); }
};

struct TProgramCase {
  const char* Name;
  std::vector<std::uint32_t> Program;
  std::vector<std::string> Calls;
};

TEST(Interpreter, ExecutesEachInstructionType) {
  const TProgramCase cases[] = {
      {"PWM, delay, position",
       {SendPWM(2, 0x7F, -1000), Delay(250), ReadPos(1, 3), ReadMea(0, 0)},
       {"pwm 2 127 -1000 @0", "pos 1 3 @250", "mea 0 0 @250"}},
      {"network management carries both command bytes",
       {Ins(InsSendNM, 1, 3, 0x0201).Word},
       {"nm 1 3 1 2 @0"}},
      {"Goto repeats while its counter stays above 0",
       {SetCount(4, 3), ReadPos(1, 1), Delay(10), Goto(4, 1), ReadMea(1, 1)},
       {"pos 1 1 @0", "pos 1 1 @10", "pos 1 1 @20", "mea 1 1 @30"}},
      {"Goto with counter 0 falls through", {ReadPos(1, 1), Goto(9, 0), ReadMea(1, 1)}, {"pos 1 1 @0", "mea 1 1 @0"}},
      {"counters are separate",
       {SetCount(0, 2), SetCount(1, 2), ReadPos(1, 1), Goto(0, 2), ReadMea(1, 1), Goto(1, 2)},
       {"pos 1 1 @0", "pos 1 1 @0", "mea 1 1 @0", "pos 1 1 @0", "mea 1 1 @0"}},
      {"End stops", {ReadPos(1, 1), End(), ReadPos(2, 2)}, {"pos 1 1 @0"}},
      {"an unknown type stops", {ReadPos(1, 1), Ins(4).Word, ReadPos(2, 2)}, {"pos 1 1 @0"}},
      {"type 0 stops", {Ins(0).Word, ReadPos(2, 2)}, {}},
      {"Delay 0 does not wait", {Delay(0), ReadPos(1, 1)}, {"pos 1 1 @0"}},
      {"the longest delay", {Delay(65535), ReadPos(1, 1)}, {"pos 1 1 @65535"}},
      {"a jump past the program ends it", {Goto(0, 200)}, {}},
      {"an empty program ends at once", {}, {}},
  };
  for (const TProgramCase& c : cases) {
    TProgramRunner runner;
    TRecordingBus bus;
    runner.Start(0);
    runner.RunUntil(70000, c.Program, bus);
    EXPECT_EQ(bus.Calls, c.Calls) << c.Name;
    EXPECT_FALSE(runner.Running()) << c.Name;
  }
}

TEST(Interpreter, WaitsForTheDelayToPass) {
  const std::vector<std::uint32_t> program = {ReadPos(1, 1), Delay(100), ReadMea(1, 1)};
  TProgramRunner runner;
  TRecordingBus bus;
  runner.Start(1000);
  runner.RunUntil(1099, program, bus);
  EXPECT_EQ(bus.Calls, std::vector<std::string>{"pos 1 1 @1000"});
  EXPECT_TRUE(runner.Running());
  runner.RunUntil(1100, program, bus);
  EXPECT_EQ(bus.Calls.back(), "mea 1 1 @1100");
  EXPECT_FALSE(runner.Running());
}

// --- addressing ----------------------------------------------------------------

struct TAddressCase {
  int Bus;
  int Addr;
  std::vector<std::size_t> Nodes;
};

TEST(NodeBank, AddressesOneNodeEveryNodeOfABusOrBothBuses) {
  TNodeBank bank;
  bank.Assign({{1, 5}, {2, 5}, {0, 7}, {1, 9}, {3, 5}});
  const TAddressCase cases[] = {
      {1, 5, {0}},          {2, 5, {1}},          {0, 5, {0, 1}}, {1, 0, {0, 2, 3}},
      {0, 0, {0, 1, 2, 3}}, {2, 7, {2}},          {0, 7, {2}},    {3, 5, {4}},
      {3, 0, {4}},          {1, 6, {}},           {5, 0, {}},
  };
  for (const TAddressCase& c : cases)
    EXPECT_EQ(bank.Addressed(c.Bus, c.Addr), c.Nodes) << "bus " << c.Bus << " addr " << c.Addr;
}

TEST(Board, SendPWMToAddressZeroGivesOnePWMReportAsAddressed) {
  TBoardImage image;
  image.Config.PWMRpt = true;
  image.Config.AutoRpt = true;
  image.Nodes = {{1, 5}, {1, 6}, {2, 7}};
  image.Program = {SendPWM(1, 0, 450), Delay(500), ReadPos(0, 0)};
  TBoard board(image);
  AskOne(board, MakeRequest(CmdStart));
  RunFor(board, 0, 600);
  const std::vector<TPayloadStu> reports = board.TakeUnsolicited();
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(Hex(reports[0]), Hex(MakeReport(ReportKindPWM, 1, 0, 0, 450)));
  EXPECT_EQ(ReadReport(reports[1]).Value, 450);
  EXPECT_EQ(ReadReport(reports[2]).Value, 450);
  EXPECT_EQ(ReadReport(reports[3]).Value, 0);  // the RS485 node was not addressed
  EXPECT_EQ(ReadReport(reports[3]).Bus, 2);
}

}  // namespace
