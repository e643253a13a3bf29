// Reconnecting after "Port lost": the program watches for the device the port
// was open on and opens the port again once it is back, without writing the
// stored port, changing the run state or sending anything to the board.
#include <QElapsedTimer>
#include <iostream>

#include "programfixture.h"

namespace {

class ReconnectTest : public TProgramFixture {
 protected:
  // The board reports by itself, so that no poll stands between the test's
  // requests and their answers.
  ReconnectTest() {
    MakeDatabase();
    Sql(QStringLiteral("UPDATE ConfigTable SET COMPort = 'COM1', AutoRpt = 1"));
    PlugBoardBehindStableName(1);
    CreateProgram();
  }

  void LoseTheBoard() {
    UnplugBoard(1);
    ASSERT_TRUE(WaitUntil([] { return !CommMod->Uart.Active(); }, 3000));
    ASSERT_TRUE(WaitUntil([this] { return Status() == QStringLiteral("Port lost"); }, 3000));
    ASSERT_TRUE(MainForm->PortWatch.isActive());
  }

  // Plugs the board in again and waits for the watch to find it; prints how
  // long that took.
  bool BoardComesBack() {
    PlugBoardBehindStableName(1);
    QElapsedTimer clock;
    clock.start();
    const bool back = WaitUntil([this] { return Status() == QStringLiteral("Port back"); }, 5000);
    std::cout << "port back after " << clock.elapsed() << " ms\n";
    return back;
  }
};

TEST_F(ReconnectTest, TheSameDeviceComingBackIsOpenedAndSelectedAgain) {
  ASSERT_TRUE(CommMod->Uart.Active());
  const long statements = Statements();
  LoseTheBoard();
  EXPECT_EQ(MainForm->PortSel->currentIndex(), -1);
  EXPECT_LE(MainForm->PortWatch.interval(), 1000);

  ASSERT_TRUE(BoardComesBack());
  EXPECT_TRUE(CommMod->Uart.Active());
  EXPECT_EQ(MainForm->PortSel->currentText(), QStringLiteral("COM1"));
  EXPECT_TRUE(MainForm->StartBtn->isEnabled());
  EXPECT_FALSE(MainForm->PortWatch.isActive());
  EXPECT_EQ(Statements(), statements) << "the stored port was not written";
  EXPECT_EQ(ConfigColumn(QStringLiteral("COMPort")).toString(), QStringLiteral("COM1"));
  EXPECT_TRUE(Board->Read(1, 300).empty()) << "the reconnect sent something to the board";

  StartRunning();
  EXPECT_TRUE(MainForm->StopBtn->isEnabled());
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
}

TEST_F(ReconnectTest, ARunningProgramStillCountsAsRunningAndStopsOnceThePortIsBack) {
  StartRunning();
  LoseTheBoard();
  EXPECT_TRUE(MainForm->FRunning);
  EXPECT_FALSE(MainForm->StopBtn->isEnabled());
  ASSERT_TRUE(BoardComesBack());
  EXPECT_TRUE(MainForm->FRunning);
  EXPECT_TRUE(MainForm->StopBtn->isEnabled());
  StopRunning();
  EXPECT_TRUE(MainForm->StartBtn->isEnabled());
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
}

// Each look of the watch is made here by hand, so that what it does not do
// needs no waiting.
TEST_F(ReconnectTest, AnotherDeviceUnderTheSameNameIsNotTaken) {
  LoseTheBoard();
  MainForm->PortWatchTimer();
  EXPECT_FALSE(CommMod->Uart.Active()) << "without its link COM1 names /dev/ttyS0, another device";

  TPtyPair other;
  other.HoldSlaveOpen();
  LinkComTo(1, QString::fromStdString(other.SlavePath()));
  MainForm->PortWatchTimer();
  EXPECT_FALSE(CommMod->Uart.Active());
  EXPECT_TRUE(MainForm->PortWatch.isActive());

  LinkComTo(1, StableBoardName());
  MainForm->PortWatchTimer();
  EXPECT_FALSE(CommMod->Uart.Active()) << "the stable name still leads nowhere";
  ASSERT_TRUE(BoardComesBack());
  EXPECT_TRUE(CommMod->Uart.Active());
}

TEST_F(ReconnectTest, ChoosingAnotherPortEndsTheWatch) {
  LoseTheBoard();
  TPtyPair second;
  second.LinkAsCom(Cwd.Path(), 2);
  second.HoldSlaveOpen();
  Choose(MainForm->PortSel, MainForm->PortSel->findText(QStringLiteral("COM2")));
  EXPECT_FALSE(MainForm->PortWatch.isActive());
  EXPECT_EQ(CommMod->Uart.PortNo(), 2);
  EXPECT_TRUE(CommMod->Uart.Active());
  EXPECT_EQ(ConfigColumn(QStringLiteral("COMPort")).toString(), QStringLiteral("COM2"));
}

TEST_F(ReconnectTest, APortNeverOpenedIsNotWatched) {
  DestroyProgram();
  Sql(QStringLiteral("UPDATE ConfigTable SET COMPort = 'COM3'"));
  CreateProgram();
  ASSERT_FALSE(CommMod->Uart.Active());
  MainForm->PortLost();
  EXPECT_FALSE(MainForm->PortWatch.isActive());
}

}  // namespace
