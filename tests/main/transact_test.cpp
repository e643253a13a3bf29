// Transactions and the dispatcher against a board played by the test on a
// pseudo-terminal, with the real main window.
#include <gtest/gtest.h>

#include <thread>

#include "programfixture.h"

namespace {

std::vector<std::uint8_t> Bytes(const TPayloadStu& p) {
  const TFrame f = BuildFrame(p);
  return {f.begin(), f.end()};
}

class TransactTest : public TProgramFixture {
 protected:
  TransactTest() {
    MakeDatabase();
    PlugBoardInto(1);
    CreateProgram();
  }

  // Answers the next request with `answer` once the request has arrived.
  bool TransactWith(const TPayloadStu& request, const std::vector<std::uint8_t>& answer, TPayloadStu& got) {
    std::thread board([&] {
      Requests = Board->Read(12, 1000);
      Board->Write(answer);
    });
    MainForm->ShowStatus("Wait response...");
    const bool ok = Transact(request, got, 250);
    board.join();
    return ok;
  }

  std::vector<std::uint8_t> Requests;
};

TEST_F(TransactTest, TheConfiguredPortIsOpenAtStartUp) {
  EXPECT_TRUE(CommMod->Uart.Active());
  EXPECT_EQ(MainForm->PortSel->currentText(), "COM1");
  EXPECT_TRUE(MainForm->StartBtn->isEnabled());
  EXPECT_FALSE(MainForm->StopBtn->isEnabled());
}

TEST_F(TransactTest, AnswersAndDeviceErrors) {
  struct Case {
    const char* name;
    TPayloadStu answer;
    bool result;
    QString status;
  };
  const Case cases[] = {
      {"plain answer", MakeAnswer(CmdGetBusConfig), true, ""},
      {"error 6", MakeErrorAnswer(CmdGetBusConfig, 6), false, "Full, overflow error!"},
      {"error 0 counts as success", MakeErrorAnswer(CmdGetBusConfig, 0), true, ""},
      {"unknown error code", MakeErrorAnswer(CmdGetBusConfig, -128), false, "Unknown error!"},
  };
  for (const auto& c : cases) {
    TPayloadStu got;
    EXPECT_EQ(TransactWith(MakeRequest(CmdGetBusConfig), Bytes(c.answer), got), c.result) << c.name;
    EXPECT_EQ(got, c.answer) << c.name;
    EXPECT_EQ(Status(), c.status) << c.name;
    EXPECT_EQ(Requests, Bytes(MakeRequest(CmdGetBusConfig))) << c.name;
  }
}

TEST_F(TransactTest, TimeOutLeavesTheWaitText) {
  TPayloadStu got;
  EXPECT_FALSE(TransactWith(MakeRequest(CmdStart), {}, got));
  EXPECT_EQ(Status(), "Wait response...");
}

TEST_F(TransactTest, ErrorAnswerToAPollIsNotShown) {
  MainForm->ShowStatus("kept");
  Board->Write(Bytes(MakeErrorAnswer(CmdPoll, 2)));
  ASSERT_TRUE(WaitUntil([&] { return !Dispatched.empty(); }, 2000));
  EXPECT_EQ(Status(), "kept");
}

TEST_F(TransactTest, ReportDuringAWaitIsDispatchedBeforeTheAnswer) {
  const TPayloadStu report = MakeReport(ReportKindPos, 1, 5, 10, 1234);
  std::vector<std::uint8_t> both = Bytes(report);
  const auto answer = Bytes(MakeAnswer(CmdGetBusConfig));
  both.insert(both.end(), answer.begin(), answer.end());
  TPayloadStu got;
  ASSERT_TRUE(TransactWith(MakeRequest(CmdGetBusConfig), both, got));
  // The link module handed the report on; the answer went back to Transact.
  ASSERT_EQ(Dispatched.size(), 1u);
  EXPECT_EQ(Dispatched[0], report);
  EXPECT_EQ(got, MakeAnswer(CmdGetBusConfig));
}

TEST_F(TransactTest, StartAnswerRestartsTheTimeBase) {
  TPayloadStu start = MakeAnswer(CmdStart);
  start.SetU16(2, 4321);
  const TDateTime before = Now();
  TPayloadStu got;
  ASSERT_TRUE(TransactWith(MakeRequest(CmdStart), Bytes(start), got));
  EXPECT_EQ(MainForm->FDevTick, 4321);
  EXPECT_GE(MainForm->FTimeBase, before);
}

TEST_F(TransactTest, PollGoesOutWithoutWaiting) {
  EXPECT_TRUE(SendPoll(511, 40));
  EXPECT_EQ(Board->Read(12, 1000), Bytes(MakePoll(511, 40)));
}

TEST_F(TransactTest, LostPortClearsTheSelectionAndTheButtons) {
  const long writes = DataMod->ADOConnection1.StatementCount();
  Board->CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return !CommMod->Uart.Active(); }, 3000));
  PumpEvents(50);
  EXPECT_EQ(MainForm->PortSel->currentIndex(), -1);
  EXPECT_EQ(Status(), "Port lost");
  EXPECT_FALSE(MainForm->StartBtn->isEnabled());
  EXPECT_FALSE(MainForm->LoadBtn->isEnabled());
  EXPECT_TRUE(MainForm->SysBox->isEnabled());
  EXPECT_EQ(DataMod->ADOConnection1.StatementCount(), writes);  // the stored port stays
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

}  // namespace

namespace {

TEST_F(TransactTest, ChoosingAnotherPortSwitchesTheLink) {
  TPtyPair second;
  second.LinkAsCom(Cwd.Path(), 2);
  second.HoldSlaveOpen();
  MainForm->PortSel->setCurrentIndex(1);
  emit MainForm->PortSel->activated(1);
  EXPECT_TRUE(CommMod->Uart.Active());
  EXPECT_EQ(CommMod->Uart.PortNo(), 2);
  EXPECT_EQ(MainForm->FConfig.COMPort, "COM2");
  EXPECT_EQ(MainForm->PortSel->currentText(), "COM2");
  EXPECT_TRUE(MainForm->StartBtn->isEnabled());
  // Requests now go to the second line.
  EXPECT_TRUE(SendPoll(0, 4));
  EXPECT_EQ(second.Read(12, 1000), Bytes(MakePoll(0, 4)));
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

}  // namespace
