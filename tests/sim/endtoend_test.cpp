// The whole job in the real window against servo-board-sim: generate a swing
// program for the nodes, Program it into the board, Load it back, Start,
// watch the positions arrive in the node list and the charts, Stop.
#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QTest>
#include <QTreeWidget>

#include "chartseries.h"
#include "makedlg.h"
#include "programfixture.h"

namespace {

class EndToEndTest : public TProgramFixture {
 protected:
  void SetUp() override {
    MakeDatabase();
    Sql("UPDATE ConfigTable SET AutoRpt = 1, PWMRpt = 1");
    SqlNode("Shoulder", 1, 1, 30, 300);
    SqlNode("Elbow", 1, 2, 45, 300);
    SqlNode("Wrist", 2, 5, 20, 300);
    SqlNode("Gripper", 2, 6, 60, 300);
    PlugVirtualBoardInto(1);
    CreateProgram();
    ASSERT_TRUE(CommMod->Uart.Active());
    MainForm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(MainForm));
  }

  static bool FirstRowsHavePositions(int rows) {
    for (int i = 0; i < rows; ++i) {
      if (MainForm->NodeList->topLevelItem(i)->text(5).isEmpty()) return false;
    }
    return true;
  }
};

TEST_F(EndToEndTest, GenerateProgramLoadBackStartWatchAndStop) {
  ASSERT_TRUE(AnswerDialog(MakeDlg, MakeDlg->OkBtn, [] { MainForm->MakeBtn->click(); },
                           std::function<void(TMakeDlg&)>())
                  .Shown);
  const std::vector<std::uint32_t> generated = ProgramInMemory();
  ASSERT_EQ(generated.size(), 2u * 4 + 9);

  QTest::mouseClick(MainForm->ProgramBtn, Qt::LeftButton);
  EXPECT_EQ(Status(), "");
  QTest::mouseClick(MainForm->LoadBtn, Qt::LeftButton);
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(ProgramInMemory(), generated) << "the board gives back the words it was sent";
  EXPECT_EQ(StoredProgram(), generated);
  EXPECT_EQ(MainForm->NodeList->topLevelItemCount(), 8) << "loaded nodes are added to the list";

  QTest::mouseClick(MainForm->StartBtn, Qt::LeftButton);
  ASSERT_TRUE(MainForm->FRunning) << Status().toStdString();
  EXPECT_TRUE(WaitUntil([] { return FirstRowsHavePositions(4); }, 10000));
  TChartSeries* shoulder = MainForm->FindSeries(1, 1, KindPos);
  ASSERT_NE(shoulder, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return shoulder->data()->size() >= 4; }, 10000)) << "the chart keeps moving";
  double lowest = 1e9, highest = -1e9;
  for (auto it = shoulder->data()->constBegin(); it != shoulder->data()->constEnd(); ++it) {
    lowest = std::min(lowest, it->value);
    highest = std::max(highest, it->value);
  }
  EXPECT_LE(lowest, 0.0);
  EXPECT_GT(highest, 0.0) << "the shoulder swings to both sides";

  QTest::mouseClick(MainForm->StopBtn, Qt::LeftButton);
  EXPECT_FALSE(MainForm->FRunning) << Status().toStdString();
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
}

}  // namespace
