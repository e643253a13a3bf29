// A long stretch of a misbehaving line between the program's link module and
// the virtual board: noise before every frame, answers that never come,
// answers with a wrong checksum, latency, and a running program that reports
// unasked all the while. Transact never waits longer than its time-out
// allows, no value it hands back is wrong, every report dispatched is one
// the board sent, and the window keeps answering between transactions.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <random>

#include "programfixture.h"
#include "simwords.h"

namespace {

constexpr std::uint32_t TimeoutMs = 100;
// A wait ends at the latest five time-outs after the request, however long
// reports keep coming; anything near this bound is a hang.
constexpr qint64 LongestTransactMs = 1500;
constexpr int Attempts = 8;
constexpr std::size_t WordsReadWhileReporting = 64;

class MisbehavingLineTest : public TProgramFixture {
 protected:
  void SetUp() override {
    MakeDatabase();
    PlugVirtualBoardInto(1, {"--noise", "--seed", "5", "--drop-every", "13", "--bad-checksum-every", "11",
                             "--latency", "5"});
    CreateProgram();
    ASSERT_TRUE(CommMod->Uart.Active());
  }

  // One transaction, timed; the window's events run before it.
  bool Send(const TPayloadStu& request, TPayloadStu& answer) {
    PumpEvents(1);
    MainForm->ShowStatus("Wait response...");
    QElapsedTimer clock;
    clock.start();
    const bool ok = Transact(request, answer, TimeoutMs);
    Longest = std::max(Longest, clock.elapsed());
    ++Sent;
    Failed += !ok;
    return ok;
  }

  // Tries until the board's answer comes through; a lost answer does not
  // undo the request, and every request here may be repeated.
  TPayloadStu Until(const TPayloadStu& request) {
    TPayloadStu answer;
    for (int i = 0; i < Attempts; ++i) {
      if (Send(request, answer)) return answer;
    }
    ADD_FAILURE() << "no answer to code " << int(request.Code()) << " in " << Attempts << " attempts";
    return answer;
  }

  // A settings click between transactions goes through at once.
  void OperatorClicks() {
    const bool before = MainForm->FConfig.PWMRpt;
    MainForm->PWMRptCheck->click();
    EXPECT_NE(MainForm->FConfig.PWMRpt, before);
  }

  qint64 Longest = 0;
  int Sent = 0, Failed = 0;
};

std::vector<std::uint32_t> ReportingProgram() {
  std::vector<std::uint32_t> words = {ReadPos(1, 5), ReadMea(1, 5), SendPWM(1, 5, 300), Delay(15),
                                      SendPWM(1, 5, -300), Delay(15), SetCount(0, 2), Goto(0, 0)};
  std::mt19937 random(3);
  while (words.size() < MaxInsCount) words.push_back(static_cast<std::uint32_t>(random()));  // never reached
  return words;
}

TEST_F(MisbehavingLineTest, TransactsStayWithinTheirTimeOutAndNoWrongValueComesBack) {
  const std::vector<std::uint32_t> words = ReportingProgram();
  TBusConfigBlock config;
  config.AutoRpt = true;
  config.PWMRpt = true;
  Until(MakeSetBusConfig(config));
  Until(MakeErase());
  Until(MakeAddNode(1, 5));
  for (std::size_t i = 0; i < words.size(); ++i) {
    Until(MakeSetInst(static_cast<int>(i), words[i]));
    if (i % 32 == 0) OperatorClicks();
  }
  EXPECT_EQ(ReadCounts(Until(MakeRequest(CmdGetCounts))).Words, MaxInsCount);
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(ReadInstAnswer(Until(MakeGetInst(static_cast<int>(i)))), words[i]) << "word " << i;
    if (i % 32 == 0) OperatorClicks();
  }

  // The program reports by itself while words are read back; a lost answer
  // then ends its wait only through the wait's overall limit.
  EXPECT_EQ(Until(MakeRequest(CmdStart)).Head(), HeadStartAnswer);
  for (std::size_t i = 0; i < WordsReadWhileReporting; ++i) {
    EXPECT_EQ(ReadInstAnswer(Until(MakeGetInst(static_cast<int>(i)))), words[i]) << "word " << i << ", reporting";
    if (i % 16 == 0) OperatorClicks();
  }
  EXPECT_EQ(Until(MakeRequest(CmdStop)).Head(), HeadStopAnswer);

  EXPECT_LT(Longest, LongestTransactMs);
  EXPECT_GT(Failed, 0) << "the line did misbehave";
  int reports = 0;
  for (const TPayloadStu& p : Dispatched) {
    if (p.Head() != HeadReport) continue;
    ++reports;
    const TReport r = ReadReport(p);
    EXPECT_EQ(r.Bus, 1);
    EXPECT_EQ(r.Addr, 5);
    if (r.Kind != TReportKind::Measurement) {
      EXPECT_GE(r.Value, -300);
      EXPECT_LE(r.Value, 300);
    }
  }
  EXPECT_GT(reports, 0);
  std::printf("%d transactions, %d without an answer in time, longest %lld ms, %d reports dispatched\n", Sent, Failed,
              static_cast<long long>(Longest), reports);
}

}  // namespace
