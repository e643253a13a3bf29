// Start, Stop, the run lamp and the polling, against a board played by the
// test on a pseudo-terminal. The tests drive the timer's ticks themselves.
#include <QTabWidget>
#include <QTreeWidget>

#include "programfixture.h"
#include "shape.h"

namespace {

const QColor Red(0xFF, 0x00, 0x00);
const QColor Silver(0xC0, 0xC0, 0xC0);

class RunControlTest : public TProgramFixture {
 protected:
  void StartWithNodes(int nodes, bool autoReport = false) {
    MakeDatabase();
    for (int i = 0; i < nodes; ++i) SqlNode(QStringLiteral("N%1").arg(i), 1 + i % 2, i + 1);
    Sql(QStringLiteral("UPDATE ConfigTable SET COMPort = 'COM1', AutoRpt = %1").arg(autoReport ? 1 : 0));
    PlugBoardInto(1);
    CreateProgram();
    ASSERT_TRUE(CommMod->Uart.Active());
    StartRunning();
    MainForm->RunTimer.stop();
  }

  // One tick of the run timer; the polls it sent.
  std::vector<TPayloadStu> Tick() {
    MainForm->RunTimerTimer();
    return ReadRequests(1, 200);
  }

  static TPayloadStu Poll(std::uint16_t seq, std::uint16_t count) { return MakePoll(seq, count); }

  static std::vector<TPayloadStu> Reports(int count) {
    std::vector<TPayloadStu> reports;
    for (int i = 0; i < count; ++i)
      reports.push_back(MakeReport(ReportKindPos, 1, 1, static_cast<std::uint16_t>(i), i));
    return reports;
  }
};

TEST_F(RunControlTest, StartAsksForFourReportsPerNodeAndPollsFromZero) {
  StartWithNodes(10);
  EXPECT_TRUE(MainForm->FRunning);
  EXPECT_EQ(MainForm->FPollSeq, 0);
  EXPECT_EQ(MainForm->FPollSize, 40);
  EXPECT_EQ(MainForm->FPollLeft, 40);
  EXPECT_EQ(Status(), QString()) << "the answer cleared the wait text";
  EXPECT_EQ(Tick(), std::vector<TPayloadStu>{Poll(0, 40)});
}

struct TSizeCase {
  int Nodes;
  int PollSize;
};

class PollSizeTest : public RunControlTest, public testing::WithParamInterface<TSizeCase> {};

TEST_P(PollSizeTest, CapsTheCycleAt256) {
  StartWithNodes(GetParam().Nodes);
  EXPECT_EQ(MainForm->FPollSize, GetParam().PollSize);
  EXPECT_EQ(MainForm->FPollLeft, GetParam().PollSize);
  EXPECT_EQ(Tick(), std::vector<TPayloadStu>{Poll(0, static_cast<std::uint16_t>(GetParam().PollSize))});
}

INSTANTIATE_TEST_SUITE_P(Nodes, PollSizeTest, testing::Values(TSizeCase{64, 256}, TSizeCase{70, 256}));

TEST_F(RunControlTest, WithoutNodesEveryTickPollsForNothingFromTheCurrentSequence) {
  StartWithNodes(0);
  EXPECT_EQ(MainForm->FPollSize, 0);
  EXPECT_EQ(Tick(), std::vector<TPayloadStu>{Poll(0, 0)});
  SendFromBoard(Reports(3));  // unasked reports still count
  EXPECT_EQ(MainForm->FPollLeft, 0);
  EXPECT_EQ(Tick(), std::vector<TPayloadStu>{Poll(3, 0)});
  EXPECT_EQ(Tick(), std::vector<TPayloadStu>{Poll(3, 0)});
}

TEST_F(RunControlTest, UnansweredCycleIsSentAgainOnEveryTick) {
  StartWithNodes(10);
  for (int tick = 0; tick < 3; ++tick) EXPECT_EQ(Tick(), std::vector<TPayloadStu>{Poll(0, 40)}) << tick;
}

TEST_F(RunControlTest, PartlyAnsweredCycleSendsNothingUntilItsLastReport) {
  StartWithNodes(10);
  ASSERT_EQ(Tick().size(), 1u);
  SendFromBoard(Reports(39));
  EXPECT_EQ(MainForm->FPollSeq, 39);
  EXPECT_EQ(MainForm->FPollLeft, 1);
  EXPECT_TRUE(Tick().empty());
  EXPECT_TRUE(Tick().empty());
  SendFromBoard(Reports(1));
  EXPECT_EQ(MainForm->FPollLeft, 0);
  EXPECT_EQ(Tick(), std::vector<TPayloadStu>{Poll(40, 40)});
  EXPECT_EQ(MainForm->FPollLeft, 40);
}

TEST_F(RunControlTest, SequenceWrapsFrom511ToZero) {
  StartWithNodes(1);
  MainForm->FPollSeq = 511;
  SendFromBoard(Reports(1));
  EXPECT_EQ(MainForm->FPollSeq, 0);
}

TEST_F(RunControlTest, SynchronousReportingOnlyBlinksTheLamp) {
  StartWithNodes(10, true);
  EXPECT_EQ(MainForm->FPollSize, 0);
  EXPECT_EQ(MainForm->FPollLeft, 0);
  EXPECT_TRUE(Tick().empty());
  EXPECT_EQ(MainForm->RunLed->BrushColor(), Red);
  EXPECT_TRUE(Tick().empty());
  EXPECT_EQ(MainForm->RunLed->BrushColor(), Silver);
}

TEST_F(RunControlTest, LampBlinksWhileRunningAndKeepsItsLastColourAfterStop) {
  StartWithNodes(2);
  MainForm->RunTimerTimer();
  EXPECT_EQ(MainForm->RunLed->BrushColor(), Red);
  MainForm->RunTimerTimer();
  EXPECT_EQ(MainForm->RunLed->BrushColor(), Silver);
  MainForm->RunTimerTimer();
  ASSERT_EQ(MainForm->RunLed->BrushColor(), Red);
  StopRunning();
  EXPECT_EQ(MainForm->RunLed->BrushColor(), Red);
  EXPECT_FALSE(MainForm->RunTimer.isActive());
  DrainRequests();
  MainForm->RunTimerTimer();
  EXPECT_TRUE(ReadRequests(1, 200).empty()) << "no poll after Stop";
  EXPECT_EQ(MainForm->RunLed->BrushColor(), Red) << "a tick after Stop does not blink";
}

TEST_F(RunControlTest, StartShowsTheChartsAndStopAdvancesTheTimeBase) {
  MakeDatabase();
  Sql(QStringLiteral("UPDATE ConfigTable SET COMPort = 'COM1'"));
  PlugBoardInto(1);
  CreateProgram();
  MainForm->Pages->setCurrentWidget(MainForm->ConfigSheet);
  StartRunning(1000);
  EXPECT_EQ(MainForm->Pages->currentWidget(), MainForm->WaveSheet);
  EXPECT_EQ(MainForm->FDevTick, 1000);
  const TDateTime started = MainForm->FTimeBase;
  StopRunning(3500);
  EXPECT_EQ(MainForm->FDevTick, 3500);
  EXPECT_NEAR((MainForm->FTimeBase - started) * MSecsPerDay, 2500, 0.01);
}

class UnansweredTest : public RunControlTest {
 protected:
  void SetUp() override {
    MakeDatabase();
    SqlNode("A", 1, 1);
    Sql(QStringLiteral("UPDATE ConfigTable SET COMPort = 'COM1'"));
    PlugBoardInto(1);
    CreateProgram();
  }
};

TEST_F(UnansweredTest, StartWithoutAnswerLeavesTheStateAndTheWaitText) {
  MainForm->Pages->setCurrentWidget(MainForm->ConfigSheet);
  MainForm->StartBtnClick();
  EXPECT_EQ(ReadRequests(1, 1000), std::vector<TPayloadStu>{MakeRequest(CmdStart)});
  EXPECT_FALSE(MainForm->FRunning);
  EXPECT_EQ(Status(), QStringLiteral("Wait response..."));
  EXPECT_EQ(MainForm->FPollSize, 0);
  EXPECT_FALSE(MainForm->RunTimer.isActive());
  EXPECT_TRUE(MainForm->StartBtn->isEnabled());
  EXPECT_EQ(MainForm->Pages->currentWidget(), MainForm->ConfigSheet);
}

TEST_F(UnansweredTest, StopWithoutAnswerKeepsTheProgramRunning) {
  StartRunning();
  MainForm->StopBtnClick();
  EXPECT_TRUE(MainForm->FRunning);
  EXPECT_EQ(Status(), QStringLiteral("Wait response..."));
  EXPECT_TRUE(MainForm->RunTimer.isActive());
  EXPECT_TRUE(MainForm->StopBtn->isEnabled());
  StopRunning();
}

TEST_F(UnansweredTest, DeviceErrorAnswerToStartIsShownAndChangesNothing) {
  AnswerDuring(CmdStart, MakeErrorAnswer(CmdStart, DevErrInstData), [] { MainForm->StartBtnClick(); });
  EXPECT_FALSE(MainForm->FRunning);
  EXPECT_EQ(Status(), QStringLiteral("Inst data error!"));
  EXPECT_FALSE(MainForm->RunTimer.isActive());
}

TEST_F(UnansweredTest, NoPollWhileThePortIsClosed) {
  StartRunning();
  CommMod->Uart.SetActive(false);
  emit CommMod->PortLost();
  MainForm->RunTimerTimer();
  EXPECT_EQ(MainForm->RunLed->BrushColor(), Red) << "the lamp still blinks";
  EXPECT_TRUE(ReadRequests(1, 200).empty());
}

}  // namespace
