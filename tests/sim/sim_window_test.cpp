// The real window against servo-board-sim: Start, the lamp blinks, the
// board is polled, the Pos column of every node fills and the charts scroll;
// after Stop no poll goes out.
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QFile>
#include <QTest>
#include <QTreeWidget>

#include "chartseries.h"
#include "programfixture.h"
#include "shape.h"
#include "simwords.h"

namespace {

struct TBoardNode {
  const char* Name;
  int Bus, Addr;
};

const TBoardNode Nodes[] = {{"Shoulder", 1, 5}, {"Elbow", 2, 9}, {"Wrist", 1, 7}};

// Every node swings between -30 and +30 degrees; each half swing reads the
// positions and measurements of all of them.
std::vector<std::uint32_t> SwingAllNodes() {
  std::vector<std::uint32_t> words = {SetCount(0, 60000)};
  for (int pwm : {300, -300}) {
    for (const TBoardNode& n : Nodes) words.push_back(SendPWM(n.Bus, n.Addr, pwm));
    words.push_back(Delay(100));
    for (const TBoardNode& n : Nodes) words.push_back(ReadPos(n.Bus, n.Addr));
    for (const TBoardNode& n : Nodes) words.push_back(ReadMea(n.Bus, n.Addr));
  }
  words.push_back(Goto(0, 1));
  words.push_back(End());
  return words;
}

class SimWindowTest : public TProgramFixture {
 protected:
  void SetUp() override {
    MakeDatabase();
    for (const TBoardNode& n : Nodes) SqlNode(QString::fromLatin1(n.Name), n.Bus, n.Addr);
    PlugVirtualBoardInto(1, {"--log", LogFile()});
    CreateProgram();
    ASSERT_TRUE(CommMod->Uart.Active());
    ProgramTheBoard();
    MainForm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(MainForm));
  }

  QString LogFile() const { return Cwd.File(QStringLiteral("frames.log")); }

  // What the Program button will do, request by request.
  void ProgramTheBoard() {
    TBusConfigBlock config;
    config.PWMRpt = true;
    std::vector<TPayloadStu> requests = {MakeSetBusConfig(config), MakeErase()};
    for (const TBoardNode& n : Nodes) requests.push_back(MakeAddNode(n.Bus, n.Addr));
    const std::vector<std::uint32_t> words = SwingAllNodes();
    for (std::size_t i = 0; i < words.size(); ++i) requests.push_back(MakeSetInst(static_cast<int>(i), words[i]));
    for (const TPayloadStu& request : requests) {
      TPayloadStu answer;
      ASSERT_TRUE(Transact(request, answer, 250)) << int(request.Code());
    }
  }

  static bool EveryPosFilled() {
    for (int i = 0; i < MainForm->NodeList->topLevelItemCount(); ++i) {
      if (MainForm->NodeList->topLevelItem(i)->text(5).isEmpty()) return false;
    }
    return true;
  }

  // The request frames the board received, in order, by head byte.
  std::vector<int> RequestHeads() const {
    std::vector<int> heads;
    QFile log(LogFile());
    if (!log.open(QIODevice::ReadOnly)) return heads;
    for (const QByteArray& line : log.readAll().split('\n')) {
      const QList<QByteArray> fields = line.split(' ');
      if (fields.size() == 13 && fields[0] == "rx") heads.push_back(fields[3].toInt(nullptr, 16));
    }
    return heads;
  }
};

TEST_F(SimWindowTest, StartPollsFillsTheColumnsAndScrollsTheChartsUntilStop) {
  QTest::mouseClick(MainForm->StartBtn, Qt::LeftButton);
  ASSERT_TRUE(MainForm->FRunning) << Status().toStdString();
  EXPECT_EQ(MainForm->FPollSize, 12);
  EXPECT_FALSE(MainForm->StartBtn->isEnabled());
  EXPECT_TRUE(MainForm->StopBtn->isEnabled());

  bool red = false, silver = false;
  const auto lampBlinked = [&] {
    red = red || MainForm->RunLed->BrushColor() == QColor(Qt::red);
    silver = silver || (red && MainForm->RunLed->BrushColor() == QColor(0xC0, 0xC0, 0xC0));
    return red && silver;
  };
  EXPECT_TRUE(WaitUntil(lampBlinked, 5000));
  EXPECT_TRUE(WaitUntil(EveryPosFilled, 10000));
  for (const TBoardNode& n : Nodes) {
    EXPECT_NE(MainForm->FindSeries(n.Bus, n.Addr, KindPos), nullptr) << n.Name;
    EXPECT_TRUE(WaitUntil([&] { return !MainForm->FindSeries(n.Bus, n.Addr, KindPos)->data()->isEmpty(); }, 5000))
        << n.Name;
  }
  const double shownUntil = MainForm->AngleChart->xAxis->range().upper;
  EXPECT_TRUE(WaitUntil([&] { return MainForm->AngleChart->xAxis->range().upper > shownUntil + 0.5; }, 5000))
      << "the angle chart scrolls with the reports";
  EXPECT_FALSE(MainForm->FindSeries(1, 5, KindPWM)->data()->isEmpty());
  EXPECT_FALSE(MainForm->FindSeries(1, 5, KindTemp)->data()->isEmpty());

  QTest::mouseClick(MainForm->StopBtn, Qt::LeftButton);
  ASSERT_FALSE(MainForm->FRunning) << Status().toStdString();
  const QColor lampAtStop = MainForm->RunLed->BrushColor();
  PumpEvents(1000);  // three timer periods
  EXPECT_EQ(MainForm->RunLed->BrushColor(), lampAtStop) << "the lamp stops blinking";
  const std::vector<int> heads = RequestHeads();
  const auto stop = std::find(heads.rbegin(), heads.rend(), int(CmdStop));
  ASSERT_NE(stop, heads.rend());
  EXPECT_EQ(std::count(heads.begin(), heads.end(), int(CmdPoll)) > 0, true);
  EXPECT_EQ(std::count(heads.rbegin(), stop, int(CmdPoll)), 0) << "no poll after Stop";
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
}

}  // namespace
