// The program check's marks in the instruction list: a warning picture and
// a tooltip on each row with a finding, following the edits of the program
// and of the node list.
#include <QTreeWidget>

#include "programcheck.h"
#include "programfixture.h"

namespace {

std::uint32_t Ins(unsigned type, unsigned channel, unsigned addr, std::uint16_t value) {
  TInsStu w;
  w.SetInsType(type);
  w.SetChannel_CountIndex(channel);
  w.SetAddr_InsIndex(addr);
  w.SetPWM_Delay_Count(value);
  return w.Word;
}

const std::uint32_t ReadMeaCan5 = Ins(InsReadMea, 1, 5, 0);
const std::uint32_t PWMTooHigh = Ins(InsSendPWM, 1, 0, 1500);
const std::uint32_t Delay10 = Ins(InsDelay, 0, 0, 10);
const std::uint32_t GotoRow0 = Ins(InsGoto, 0, 0, 0);  // counter 1, never loaded
const std::uint32_t End = Ins(InsEnd, 0, 0, 0);

const QString NoNodeCan5 = QStringLiteral("No node of the node list has address 05 on CAN");
const QString NoEnd = QStringLiteral("The program has no End: the board runs on past its last instruction");

class ProgramMarksTest : public TProgramFixture {
 protected:
  void Start(const std::vector<std::uint32_t>& words) {
    MakeDatabase();
    PutProgram(words);
    CreateProgram();
    ASSERT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
  }

  static QTreeWidgetItem* Row(int row) { return MainForm->InsList->topLevelItem(row); }

  // The tooltip of every row, "" for a row without findings; a marked row
  // has the warning picture and the same tooltip in each column.
  static QStringList Marks() {
    QStringList marks;
    for (int i = 0; i < MainForm->InsList->topLevelItemCount(); ++i) {
      QTreeWidgetItem* row = Row(i);
      const QString tip = row->toolTip(0);
      EXPECT_EQ(row->icon(0).isNull(), tip.isEmpty()) << "row " << i;
      for (int column = 1; column < row->columnCount(); ++column) EXPECT_EQ(row->toolTip(column), tip);
      marks << tip;
    }
    return marks;
  }

  static void Select(int row) { MainForm->InsList->setCurrentItem(Row(row)); }

  static TNodeStu NodeRecord(int channel, int addr) {
    TNodeStu node;
    node.NodeName = QStringLiteral("n");
    node.Channel = channel;
    node.Addr = addr;
    return node;
  }

  // The node editor confirmed with the record's values.
  void AddNode(int channel, int addr) {
    ASSERT_TRUE(AnswerNodeDlg([] { MainForm->NodeAdd(); },
                              [=](TNodeDlg& d) { d.LoadNode(NodeRecord(channel, addr)); })
                    .Shown);
  }

  void EditInstruction(int row, std::uint32_t word) {
    Select(row);
    ASSERT_TRUE(AnswerInsDlg([] { MainForm->InsEdit(); }, [=](TInsDlg& d) { d.LoadInst(TInsStu{word}); }));
  }
};

TEST_F(ProgramMarksTest, StartUpMarksTheStoredProgramForTheStoredNodes) {
  MakeDatabase();
  SqlNode(QStringLiteral("Hip"), 2, 5);
  PutProgram({ReadMeaCan5, PWMTooHigh, Delay10, GotoRow0, End});
  CreateProgram();
  const QStringList expected = {NoNodeCan5, "PWM 150 is outside -100 to 100", "",
                                "Counter 1 is loaded by no SetCount before this Goto", ""};
  EXPECT_EQ(Marks(), expected);
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

TEST_F(ProgramMarksTest, ASoundProgramShowsNoMarks) {
  Start({Delay10, End});
  EXPECT_EQ(Marks(), QStringList({"", ""}));
}

TEST_F(ProgramMarksTest, MarksFollowTheEditsOfTheProgram) {
  Start({ReadMeaCan5, Delay10, End});
  EXPECT_EQ(Marks(), QStringList({NoNodeCan5, "", ""}));

  EditInstruction(0, Delay10);
  EXPECT_EQ(Marks(), QStringList({"", "", ""})) << "edited into a sound word";

  Select(1);
  ASSERT_TRUE(AnswerInsDlg([] { MainForm->InsInsert(); }, [](TInsDlg& d) { d.LoadInst(TInsStu{ReadMeaCan5}); }));
  EXPECT_EQ(Marks(), QStringList({"", NoNodeCan5, "", ""})) << "inserted";

  Select(1);
  MainForm->InsMoveDown();
  EXPECT_EQ(Marks(), QStringList({"", "", NoNodeCan5, ""})) << "moved down";
  MainForm->InsMoveTop();
  EXPECT_EQ(Marks(), QStringList({NoNodeCan5, "", "", ""})) << "moved to the top";
  MainForm->InsMoveBottom();
  EXPECT_EQ(Marks(), QStringList({"", "", "", NoNodeCan5})) << "moved below the End, which still counts";
  MainForm->InsMoveUp();
  EXPECT_EQ(Marks(), QStringList({"", "", NoNodeCan5, ""})) << "moved up";

  Select(3);
  MainForm->InsDelete();
  EXPECT_EQ(Marks(), QStringList({"", "", NoNodeCan5 + "\n" + NoEnd})) << "the End deleted";
  Select(2);
  MainForm->InsDelete();
  EXPECT_EQ(Marks(), QStringList({"", NoEnd}));
  ASSERT_TRUE(AnswerInsDlg([] { MainForm->InsAdd(); }, [](TInsDlg& d) { d.LoadInst(TInsStu{End}); }));
  EXPECT_EQ(Marks(), QStringList({"", "", ""})) << "an End added";
  EXPECT_TRUE(MainForm->InsClear());
  EXPECT_EQ(Marks(), QStringList());
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
}

TEST_F(ProgramMarksTest, MarksFollowTheNodeList) {
  Start({ReadMeaCan5, Ins(InsSendNM, 2, 9, 0x0001), End});
  const QString noNodeRs485At9 = QStringLiteral("No node of the node list has address 09 on RS485");
  EXPECT_EQ(Marks(), QStringList({NoNodeCan5, noNodeRs485At9, ""}));

  AddNode(1, 5);
  EXPECT_EQ(Marks(), QStringList({"", noNodeRs485At9, ""})) << "the CAN node added";
  AddNode(2, 9);
  EXPECT_EQ(Marks(), QStringList({"", "", ""})) << "the RS485 node added";

  MainForm->NodeList->setCurrentItem(MainForm->NodeList->topLevelItem(0));
  ASSERT_TRUE(AnswerNodeDlg([] { MainForm->NodeEdit(); }, [](TNodeDlg& d) { d.LoadNode(NodeRecord(1, 6)); }).Shown);
  EXPECT_EQ(Marks(), QStringList({NoNodeCan5, "", ""})) << "the CAN node moved to address 6";

  MainForm->NodeList->setCurrentItem(MainForm->NodeList->topLevelItem(1));
  MainForm->NodeDelete();
  EXPECT_EQ(Marks(), QStringList({NoNodeCan5, noNodeRs485At9, ""})) << "the RS485 node deleted";

  AddNode(1, 5);
  EXPECT_EQ(Marks(), QStringList({"", noNodeRs485At9, ""}));
  MainForm->NodeClear();
  EXPECT_EQ(Marks(), QStringList({NoNodeCan5, noNodeRs485At9, ""})) << "the node list cleared";
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
}

// Reports rewrite the node list's columns many times a second; the marks
// are not made again for them.
TEST_F(ProgramMarksTest, ReportsLeaveTheMarksAlone) {
  MakeDatabase();
  SqlNode(QStringLiteral("Knee"), 1, 5);
  PutProgram({ReadMeaCan5, Delay10});
  PlugBoardInto(1);
  CreateProgram();
  EXPECT_EQ(Marks(), QStringList({"", NoEnd}));
  int changes = 0;
  QObject::connect(MainForm->InsList->model(), &QAbstractItemModel::dataChanged, [&] { ++changes; });
  SendFromBoard({MakeReport(ReportKindPos, 1, 5, 10, 1234), MakeReport(ReportKindPos, 1, 5, 20, 1300)});
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(Marks(), QStringList({"", NoEnd}));
}

}  // namespace
