// The MakeInst button in the real window: the dialog's choices, the bus
// summary of the node list, the program that replaces the old one in memory,
// in the list and in the table, and the cases that change nothing.
#include <gtest/gtest.h>

#include <QTreeWidget>

#include "insprogram.h"
#include "makedlg.h"
#include "programfixture.h"
#include "swingplan.h"

namespace {

class GeneratorTest : public TProgramFixture {
 public:
  using TProgramFixture::SqlNode;

 protected:
  void Start() {
    PutProgram(OldProgram());
    CreateProgram();
  }

  static std::vector<std::uint32_t> OldProgram() { return {0x01F40008, 0x0000000F}; }

  // Presses MakeInst and answers the dialog with the choices.
  TDialogVisit Make(bool ok = true, int wave = 0, bool withReadPos = true) {
    return AnswerDialog(
        MakeDlg, ok ? MakeDlg->OkBtn : MakeDlg->CancelBtn, [] { MainForm->MakeBtn->click(); },
        std::function<void(TMakeDlg&)>([=](TMakeDlg& dialog) {
          dialog.WaveSel->setCurrentIndex(wave);
          dialog.MakePosCheck->setChecked(withReadPos);
        }));
  }

  // The program the plan gives for the node list as it stands, written into
  // the slots as they were before (fields a step does not name keep their
  // bits).
  static std::vector<std::uint32_t> Planned(bool withReadPos, const TInsBuf& before) {
    std::vector<TNodeStu> nodes;
    for (int i = 0; i < MainForm->NodeList->topLevelItemCount(); ++i) {
      nodes.push_back(*TNodeRowRecord(MainForm->NodeList->topLevelItem(i)));
    }
    std::vector<std::uint32_t> words;
    const std::vector<TSwingStep> plan = SwingPlan(nodes, withReadPos);
    for (std::size_t i = 0; i < plan.size(); ++i) {
      TInsStu word = before[i];
      ApplySwingStep(plan[i], word);
      words.push_back(word.Word);
    }
    return words;
  }

  static const TNodeStu* TNodeRowRecord(QTreeWidgetItem* item);

  void ExpectOneProgram(const std::vector<std::uint32_t>& words) const {
    EXPECT_EQ(ProgramInMemory(), words);
    EXPECT_EQ(StoredProgram(), words);
    EXPECT_EQ(MainForm->InsList->topLevelItemCount(), static_cast<int>(words.size()));
  }

  QString RowText(int row, int column) const { return MainForm->InsList->topLevelItem(row)->text(column); }
};

}  // namespace

#include "noderow.h"

namespace {

const TNodeStu* GeneratorTest::TNodeRowRecord(QTreeWidgetItem* item) { return TNodeRow::Of(item)->Node(); }

TEST_F(GeneratorTest, WorkedExampleGivesThirteenRowsThenFifteenWhenAnAngleDiffers) {
  MakeDatabase();
  SqlNode("A", 1, 5, 30, 400);
  SqlNode("B", 2, 9, 45, 600);
  SqlNode("C", 1, 7, 30, 900);
  Start();
  MainForm->Pages->setCurrentWidget(MainForm->WaveSheet);
  const TInsBuf first = MainForm->FInsBuf;
  EXPECT_TRUE(Make().Shown);
  EXPECT_EQ(MainForm->Pages->currentWidget(), MainForm->InsSheet);
  ExpectOneProgram(Planned(true, first));
  ASSERT_EQ(MainForm->InsList->topLevelItemCount(), 13);
  EXPECT_EQ(RowText(0, 1), "SetCount");
  EXPECT_EQ(RowText(1, 3), "Addr:00");
  EXPECT_EQ(RowText(1, 4), "PWM:30");
  EXPECT_EQ(RowText(2, 2), "RS485");
  EXPECT_EQ(RowText(3, 2), "600ms");
  EXPECT_EQ(RowText(11, 1), "Goto");
  EXPECT_EQ(RowText(11, 3), "Inst:001");
  EXPECT_EQ(RowText(12, 1), "End");

  Sql("UPDATE NodeTable SET Angle = 20 WHERE NodeName = 'C'");
  DestroyProgram();
  CreateProgram();
  const TInsBuf second = MainForm->FInsBuf;
  Make();
  ASSERT_EQ(MainForm->InsList->topLevelItemCount(), 15);
  ExpectOneProgram(Planned(true, second));
  // One swing per node in list order (bus, then address): A, C, B.
  EXPECT_EQ(RowText(1, 3), "Addr:05");
  EXPECT_EQ(RowText(2, 3), "Addr:07");
  EXPECT_EQ(RowText(3, 3), "Addr:09");
  EXPECT_EQ(RowText(4, 2), "900ms");
}

TEST_F(GeneratorTest, OneCanNodeWithoutPositionReadsGivesNineRowsAndStoresTheChoice) {
  MakeDatabase();
  SqlNode("n", 1, 3, 15, 250);
  Start();
  const TInsBuf before = MainForm->FInsBuf;
  Make(true, 0, false);
  ExpectOneProgram(Planned(false, before));
  EXPECT_EQ(MainForm->InsList->topLevelItemCount(), 9);
  EXPECT_FALSE(MainForm->FConfig.MakePos);
  EXPECT_EQ(ConfigColumn("MakePos").toInt(), 0);
}

TEST_F(GeneratorTest, TheThreeWaveShapesGiveTheSameProgram) {
  MakeDatabase();
  SqlNode("a", 1, 3, 15, 250);
  SqlNode("b", 2, 4, 25, 100);
  Start();
  std::vector<std::vector<std::uint32_t>> programs;
  for (int wave : {0, 1, 2}) {
    Make(true, wave);
    EXPECT_EQ(MainForm->FConfig.WaveKind, wave);
    programs.push_back(ProgramInMemory());
  }
  EXPECT_EQ(programs[0], programs[1]);
  EXPECT_EQ(programs[0], programs[2]);
  EXPECT_EQ(ConfigColumn("MakePos").toInt(), 1);
}

TEST_F(GeneratorTest, UntickedRowsTakePart) {
  MakeDatabase();
  for (int i = 0; i < 7; ++i) SqlNode(QStringLiteral("n%1").arg(i), 1, i + 1, 10 + i, 100);
  Start();
  ASSERT_EQ(MainForm->NodeList->topLevelItem(6)->checkState(0), Qt::Unchecked);
  Make();
  EXPECT_EQ(MainForm->InsList->topLevelItemCount(), 2 * 7 + 9);
}

TEST_F(GeneratorTest, CasesThatChangeNothing) {
  struct TCase {
    const char* Name;
    std::function<void(GeneratorTest&)> Nodes;
    bool Confirm;
    bool DialogShown;
    const char* Error;  // the start of the text shown, or empty
  };
  const TCase cases[] = {
      {"an empty node list shows no dialog", [](GeneratorTest&) {}, true, false, ""},
      {"Cancel", [](GeneratorTest& t) { t.SqlNode("a", 1, 1, 10, 100); }, false, true, ""},
      {"no node on CAN or RS485",
       [](GeneratorTest& t) {
         t.SqlNode("a", 0, 1, 10, 100);
         t.SqlNode("b", 3, 2, 10, 100);
       },
       true, true, "No node is on the CAN or the RS485 bus"},
      {"125 CAN nodes with different angles pass 256 words",
       [](GeneratorTest& t) {
         for (int i = 0; i < 125; ++i) t.SqlNode(QStringLiteral("n%1").arg(i), 1, i, i, 100);
       },
       true, true, "The swing program for these nodes needs 257 instructions"},
  };
  MakeDatabase();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    DestroyProgram();
    Sql("DELETE FROM NodeTable");
    c.Nodes(*this);
    Start();
    Errors.Clear();
    const long before = Statements();
    EXPECT_EQ(Make(c.Confirm, 1, false).Shown, c.DialogShown);
    EXPECT_EQ(Statements(), before);
    ExpectOneProgram(OldProgram());
    EXPECT_EQ(MainForm->FConfig.WaveKind, 0);
    EXPECT_TRUE(MainForm->FConfig.MakePos);
    if (*c.Error) {
      ASSERT_EQ(Errors.Texts().size(), 1);
      EXPECT_TRUE(Errors.Texts()[0].startsWith(c.Error)) << Errors.Texts()[0].toStdString();
    } else {
      EXPECT_TRUE(Errors.Texts().isEmpty());
    }
  }
}

TEST_F(GeneratorTest, AProgramThatCannotBeEmptiedIsLeftAlone) {
  MakeDatabase();
  SqlNode("a", 1, 1, 10, 100);
  Sql("CREATE TRIGGER KeepProgram BEFORE DELETE ON InsTable BEGIN SELECT RAISE(FAIL, 'kept'); END");
  Start();
  Make();
  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_EQ(Errors.Texts()[0], "kept");
  ExpectOneProgram(OldProgram());
}

}  // namespace
