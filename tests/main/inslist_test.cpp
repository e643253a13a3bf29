#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <functional>

#include "instext.h"
#include "programfixture.h"
#include "updown.h"

namespace {

std::uint32_t Ins(unsigned type, unsigned channel, unsigned addr, std::uint16_t value) {
  return MakeInsWord(type, channel, addr, value).Word;
}

std::uint32_t SendPWM(unsigned bus, unsigned addr, int tenths) {
  return Ins(InsSendPWM, bus, addr, static_cast<std::uint16_t>(tenths));
}
std::uint32_t Delay(std::uint16_t ms) { return Ins(InsDelay, 0, 0, ms); }

// n words that all differ: Send PWM to address k.
std::vector<std::uint32_t> Words(int n) {
  std::vector<std::uint32_t> words;
  for (int k = 0; k < n; ++k) words.push_back(SendPWM(1, k % 256, 10 * (k % 100)));
  return words;
}

std::vector<std::uint32_t> Reordered(const std::vector<std::uint32_t>& words, const std::vector<int>& order) {
  std::vector<std::uint32_t> result;
  for (int k : order) result.push_back(words[k]);
  return result;
}

void ChooseType(TInsDlg& d, const char* item) {
  d.TypeSel->setCurrentIndex(d.TypeSel->findText(QString::fromLatin1(item)));
}

void FillDelay(TInsDlg& d, int ms) {
  ChooseType(d, "Delay");
  d.DelayUpDown->SetPosition(ms);
}

class InsListTest : public TProgramFixture {
 protected:
  void Start(const std::vector<std::uint32_t>& words) {
    MakeDatabase();
    PutProgram(words);
    CreateProgram();
    ASSERT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
    ShowActive();
    MainForm->Pages->setCurrentWidget(MainForm->InsSheet);
    MainForm->InsList->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), MainForm->InsList);
  }

  static QTreeWidget* List() { return MainForm->InsList; }

  static QString RowText(int row) {
    QStringList texts;
    for (int column = 0; column < 6; ++column) texts << List()->topLevelItem(row)->text(column);
    return texts.join(QLatin1Char('|'));
  }

  static QStringList Captions() {
    QStringList captions;
    for (int row = 0; row < List()->topLevelItemCount(); ++row) captions << List()->topLevelItem(row)->text(0);
    return captions;
  }

  static int Selected() {
    const auto selected = List()->selectedItems();
    return selected.size() == 1 ? List()->indexOfTopLevelItem(selected.first()) : -selected.size() - 1;
  }

  static void Select(int row) { List()->setCurrentItem(List()->topLevelItem(row)); }

  static void Press(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

  // The list shows the program in memory row by row, the selected row is
  // the current one, and the table holds the same program.
  void ExpectOneProgram() const {
    ASSERT_EQ(List()->topLevelItemCount(), MainForm->FInsCount);
    for (int row = 0; row < MainForm->FInsCount; ++row) {
      const QStringList texts = InsWordTexts(MainForm->FInsBuf[row]);
      QStringList expected = {InsRowCaption(row)};
      for (int column = 0; column < 5; ++column) expected << texts.value(column);
      EXPECT_EQ(RowText(row), expected.join(QLatin1Char('|'))) << "row " << row;
    }
    if (Selected() >= 0) {
      EXPECT_EQ(List()->currentItem(), List()->topLevelItem(Selected()));
    }
    EXPECT_EQ(StoredProgram(), ProgramInMemory());
  }
};

TEST_F(InsListTest, StartUpShowsTheStoredProgramWithoutHeaders) {
  Start({0x012C'0511u, 0xFFC9'1A01u, 0x0000'7F22u, 0x0000'0313u, 0x0001'0317u, 0x01F4'0008u, 0x0064'0009u,
         0x0000'00FEu, 0x0000'052Fu});
  const QStringList rows = {
      "001|SendPWM|CAN|Addr:05|PWM:30|",      "002|SendPWM|CAN+485|Addr:1A|PWM:-5|",
      "003|ReadPos|RS485|Addr:7F||",          "004|ReadMeasu|CAN|Addr:03||",
      "005|SendNM|CAN|Addr:03|Cmd:01 00|",    "006|Delay|500ms|||",
      "007|SetCount|Index:1|Value:100||",     "008|Goto|Count:16|Inst:001||",
      "009|End||||",
  };
  ASSERT_EQ(List()->topLevelItemCount(), rows.size());
  for (int row = 0; row < rows.size(); ++row) EXPECT_EQ(RowText(row), rows[row]);
  EXPECT_EQ(MainForm->FInsCount, 9);
  EXPECT_EQ(Selected(), 8) << "the last row appended is selected";
  EXPECT_TRUE(List()->header()->isHidden());
  ExpectOneProgram();
}

TEST_F(InsListTest, StartUpShowsAtMost256Rows) {
  Start(Words(300));
  EXPECT_EQ(MainForm->FInsCount, 256);
  ASSERT_EQ(List()->topLevelItemCount(), 256);
  EXPECT_EQ(Captions().last(), QStringLiteral("256"));
  EXPECT_EQ(StoredProgram().size(), 300u) << "start-up writes nothing";
  MainForm->InsDelete();  // the first rewrite leaves the table at the program's size
  EXPECT_EQ(MainForm->FInsCount, 255);
  ExpectOneProgram();
}

TEST_F(InsListTest, AnEmptyTableGivesAnEmptyList) {
  Start({});
  EXPECT_EQ(MainForm->FInsCount, 0);
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  EXPECT_EQ(Selected(), -1);
}

TEST_F(InsListTest, AnUnreadableRowEndsStartUpWithAnEmptyProgram) {
  MakeDatabase();
  PutProgram(Words(4));
  Sql(QStringLiteral("UPDATE InsTable SET InsType = 'x' WHERE [Index] = 2"));
  PlugBoardInto(1);
  CreateProgram();
  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_TRUE(Errors.Texts().at(0).contains(QLatin1String("InsType"))) << Errors.Texts().at(0).toStdString();
  EXPECT_EQ(MainForm->FInsCount, 0);
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  EXPECT_FALSE(CommMod->Uart.Active()) << "start-up ended before the port was opened";
}

TEST_F(InsListTest, InsertAtTheSecondOfFiveRows) {
  const std::vector<std::uint32_t> words = Words(5);
  Start(words);
  Select(1);
  EXPECT_TRUE(AnswerInsDlg([] { Press(MainForm->InsertBtn); }, [](TInsDlg& d) { FillDelay(d, 500); }));
  EXPECT_EQ(InsDlg->windowTitle(), QStringLiteral("Add inst"));
  EXPECT_EQ(Captions(), (QStringList{"001", "002", "003", "004", "005", "006"}));
  EXPECT_EQ(RowText(1), QStringLiteral("002|Delay|500ms|||"));
  EXPECT_EQ(Selected(), 1);
  // The new word took its unused bits from the word that was at its slot.
  const std::uint32_t inserted = (words[1] & 0x0000'FFF0u) | Delay(500);
  EXPECT_EQ(StoredProgram(), (std::vector<std::uint32_t>{words[0], inserted, words[1], words[2], words[3], words[4]}));
  ExpectOneProgram();
}

TEST_F(InsListTest, InsertWithoutASelectedRowAdds) {
  Start(Words(3));
  List()->clearSelection();
  EXPECT_TRUE(AnswerInsDlg([] { Press(MainForm->InsertBtn); }, [](TInsDlg& d) { ChooseType(d, "End"); }));
  EXPECT_EQ(RowText(3), QStringLiteral("004|End||||"));
  EXPECT_EQ(Selected(), 3);
  ExpectOneProgram();
}

TEST_F(InsListTest, AddAppendsAndSelectsTheNewRow) {
  Start(Words(3));
  Select(0);
  EXPECT_TRUE(AnswerInsDlg([] { Press(MainForm->AddBtn); }, [](TInsDlg& d) {
    ChooseType(d, "Send PWM");
    d.ChannelSel->setCurrentIndex(2);
    d.AddrHexEdit->setText(QStringLiteral("1F"));
    d.PWMUpDown->SetPosition(-45);
  }));
  EXPECT_EQ(RowText(3), QStringLiteral("004|SendPWM|RS485|Addr:1F|PWM:-45|"));
  EXPECT_EQ(Selected(), 3);
  EXPECT_EQ(StoredProgram().back(), SendPWM(2, 0x1F, -450));
  ExpectOneProgram();
}

TEST_F(InsListTest, CancelledEditorChangesNothing) {
  Start(Words(3));
  Select(1);
  const long before = Statements();
  for (QToolButton* button : {MainForm->AddBtn, MainForm->InsertBtn, MainForm->EditBtn}) {
    EXPECT_TRUE(AnswerInsDlg([button] { Press(button); }, [](TInsDlg& d) { FillDelay(d, 10); }, false));
  }
  EXPECT_EQ(Statements(), before);
  EXPECT_EQ(StoredProgram(), Words(3));
  EXPECT_EQ(Selected(), 1);
  ExpectOneProgram();
}

TEST_F(InsListTest, EditingSendPWMIntoDelayKeepsBusAndAddressBits) {
  Start({SendPWM(2, 0x33, 500), Delay(10)});
  // A double click edits the row under the mouse, wherever the focus is.
  MainForm->PriEdit->setFocus();
  const QRect cell = List()->visualItemRect(List()->topLevelItem(0));
  EXPECT_TRUE(AnswerInsDlg(
      [&] {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
      },
      [](TInsDlg& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Edit inst"));
        EXPECT_EQ(d.PWMEdit->text(), QStringLiteral("50"));
        FillDelay(d, 250);
      }));
  EXPECT_EQ(RowText(0), QStringLiteral("001|Delay|250ms|||"));
  EXPECT_EQ(StoredProgram().front(), 0x00FA'3328u) << "bus 2 and address 33 stay in the word";
  EXPECT_EQ(Selected(), 0);
  ExpectOneProgram();
}

struct TDeleteCase {
  const char* Name;
  int Rows, Row;
  int SelectedAfter;
};

class InsDeleteTest : public InsListTest, public testing::WithParamInterface<TDeleteCase> {};

TEST_P(InsDeleteTest, SelectsTheRowThatTookItsPlace) {
  const TDeleteCase& c = GetParam();
  const std::vector<std::uint32_t> words = Words(c.Rows);
  Start(words);
  Select(c.Row);
  Press(MainForm->DelBtn);
  std::vector<std::uint32_t> left = words;
  left.erase(left.begin() + c.Row);
  EXPECT_EQ(StoredProgram(), left);
  EXPECT_EQ(Selected(), c.SelectedAfter);
  QStringList captions;
  for (int row = 0; row < c.Rows - 1; ++row) captions << InsRowCaption(row);
  EXPECT_EQ(Captions(), captions);
  EXPECT_EQ(MainForm->FInsBuf[c.Rows - 1].Word, words[c.Rows - 1]) << "the freed slot keeps its old word";
  ExpectOneProgram();
}

INSTANTIATE_TEST_SUITE_P(Rows, InsDeleteTest,
                         testing::Values(TDeleteCase{"Last", 3, 2, 1}, TDeleteCase{"Only", 1, 0, -1},
                                         TDeleteCase{"Middle", 5, 2, 2}, TDeleteCase{"First", 4, 0, 0}),
                         [](const testing::TestParamInfo<TDeleteCase>& info) { return std::string(info.param.Name); });

struct TMoveCase {
  const char* Name;
  QToolButton* TMainForm::*Button;
  int Row;
  std::vector<int> Order;  // empty: nothing moves and nothing is written
  int SelectedAfter;
};

class InsMoveTest : public InsListTest, public testing::WithParamInterface<TMoveCase> {};

TEST_P(InsMoveTest, ReordersTheProgramOrDoesNothingAtTheEdges) {
  const TMoveCase& c = GetParam();
  const std::vector<std::uint32_t> words = Words(5);
  Start(words);
  Select(c.Row);
  const QByteArray file = FileDigest();
  const long before = Statements();
  Press(MainForm->*c.Button);
  if (c.Order.empty()) {
    EXPECT_EQ(Statements(), before) << "nothing is written";
    EXPECT_EQ(FileDigest(), file);
    EXPECT_EQ(ProgramInMemory(), words);
  } else {
    EXPECT_EQ(StoredProgram(), Reordered(words, c.Order));
  }
  EXPECT_EQ(Selected(), c.SelectedAfter);
  EXPECT_EQ(List()->selectedItems().size(), 1);
  ExpectOneProgram();
}

INSTANTIATE_TEST_SUITE_P(
    Moves, InsMoveTest,
    testing::Values(TMoveCase{"Up", &TMainForm::UpBtn, 2, {0, 2, 1, 3, 4}, 1},
                    TMoveCase{"Down", &TMainForm::DownBtn, 2, {0, 1, 3, 2, 4}, 3},
                    TMoveCase{"Top", &TMainForm::TopBtn, 3, {3, 0, 1, 2, 4}, 0},
                    TMoveCase{"Bottom", &TMainForm::BotBtn, 1, {0, 2, 3, 4, 1}, 4},
                    TMoveCase{"UpOnTheFirst", &TMainForm::UpBtn, 0, {}, 0},
                    TMoveCase{"TopOnTheFirst", &TMainForm::TopBtn, 0, {}, 0},
                    TMoveCase{"DownOnTheLast", &TMainForm::DownBtn, 4, {}, 4},
                    TMoveCase{"BottomOnTheLast", &TMainForm::BotBtn, 4, {}, 4}),
    [](const testing::TestParamInfo<TMoveCase>& info) { return std::string(info.param.Name); });

TEST_F(InsListTest, MovesScrollTheSelectedRowIntoView) {
  Start(Words(200));
  Select(0);
  Press(MainForm->BotBtn);
  ASSERT_EQ(Selected(), 199);
  const QRect row = List()->visualItemRect(List()->topLevelItem(199));
  EXPECT_TRUE(List()->viewport()->rect().contains(row)) << "the moved row is entirely visible";
  Press(MainForm->TopBtn);
  EXPECT_EQ(Selected(), 0);
  EXPECT_TRUE(List()->viewport()->rect().contains(List()->visualItemRect(List()->topLevelItem(0))));
  ExpectOneProgram();
}

TEST_F(InsListTest, ClearEmptiesListAndTableButKeepsTheSlots) {
  const std::vector<std::uint32_t> words = Words(4);
  Start(words);
  Press(MainForm->ClearBtn);
  EXPECT_EQ(MainForm->FInsCount, 0);
  EXPECT_EQ(List()->topLevelItemCount(), 0);
  EXPECT_TRUE(StoredProgram().empty());
  EXPECT_EQ(MainForm->FInsBuf[3].Word, words[3]);
  // An empty program is cleared again: the table is still written.
  const long before = Statements();
  EXPECT_TRUE(MainForm->InsClear());
  EXPECT_GT(Statements(), before);
  EXPECT_TRUE(Errors.Texts().isEmpty());
  ExpectOneProgram();
}

TEST_F(InsListTest, AFullProgramRefusesAddAndInsertSilently) {
  Start(Words(256));
  Select(10);
  const long before = Statements();
  EXPECT_FALSE(AnswerInsDlg([] { Press(MainForm->AddBtn); }, [](TInsDlg& d) { FillDelay(d, 1); }));
  EXPECT_FALSE(AnswerInsDlg([] { Press(MainForm->InsertBtn); }, [](TInsDlg& d) { FillDelay(d, 1); }));
  EXPECT_EQ(Statements(), before);
  EXPECT_EQ(MainForm->FInsCount, 256);
  EXPECT_TRUE(Errors.Texts().isEmpty());
  ExpectOneProgram();
}

TEST_F(InsListTest, TheLastFreeSlotGivesRow256) {
  Start(Words(255));
  EXPECT_TRUE(AnswerInsDlg([] { Press(MainForm->AddBtn); }, [](TInsDlg& d) { ChooseType(d, "End"); }));
  EXPECT_EQ(RowText(255), QStringLiteral("256|End||||"));
  EXPECT_EQ(Selected(), 255);
  ExpectOneProgram();
}

TEST_F(InsListTest, ButtonsActOnlyOnTheListWithTheFocus) {
  Start(Words(4));
  Select(2);
  const long before = Statements();
  // With neither list focused no button acts; with the node list focused the
  // instruction-only buttons do nothing (the others act on the nodes).
  const std::vector<QToolButton*> allButtons = {MainForm->AddBtn,   MainForm->InsertBtn, MainForm->EditBtn,
                                                MainForm->DelBtn,   MainForm->ClearBtn,  MainForm->UpBtn,
                                                MainForm->DownBtn,  MainForm->TopBtn,    MainForm->BotBtn};
  const std::vector<QToolButton*> instructionOnly = {MainForm->InsertBtn, MainForm->UpBtn, MainForm->DownBtn,
                                                     MainForm->TopBtn, MainForm->BotBtn};
  const std::pair<QWidget*, const std::vector<QToolButton*>*> cases[] = {{MainForm->PriEdit, &allButtons},
                                                                         {MainForm->NodeList, &instructionOnly}};
  for (const auto& [focus, buttons] : cases) {
    focus->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), focus);
    for (QToolButton* button : *buttons) {
      EXPECT_FALSE(AnswerInsDlg([button] { Press(button); }, [](TInsDlg& d) { FillDelay(d, 1); }))
          << button->objectName().toStdString();
    }
  }
  EXPECT_EQ(Statements(), before);
  EXPECT_EQ(List()->topLevelItemCount(), 4);
  EXPECT_EQ(Selected(), 2);
  MainForm->InsList->setFocus();
  Press(MainForm->UpBtn);
  EXPECT_EQ(Selected(), 1);
  ExpectOneProgram();
}

TEST_F(InsListTest, ListTableAndMemoryAgreeAfterEveryOperation) {
  Start(Words(6));
  const std::function<void()> steps[] = {
      [] { Select(5); Press(MainForm->TopBtn); },
      [] { AnswerInsDlg([] { Press(MainForm->InsertBtn); }, [](TInsDlg& d) { ChooseType(d, "Read Mea"); }); },
      [] { Select(0); Press(MainForm->DownBtn); },
      [] { AnswerInsDlg([] { Press(MainForm->EditBtn); }, [](TInsDlg& d) { ChooseType(d, "Goto"); }); },
      [] { Select(2); Press(MainForm->DelBtn); },
      [] { AnswerInsDlg([] { Press(MainForm->AddBtn); }, [](TInsDlg& d) { FillDelay(d, 60000); }); },
      [] { Select(3); Press(MainForm->BotBtn); },
      [] { Press(MainForm->UpBtn); },
      [] { Press(MainForm->ClearBtn); },
      [] { AnswerInsDlg([] { Press(MainForm->InsertBtn); }, [](TInsDlg& d) { ChooseType(d, "End"); }); },
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    steps[i]();
    ExpectOneProgram();
  }
  EXPECT_EQ(MainForm->FInsCount, 1);
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
}

// A write that fails: the table refuses every change of its rows.
struct TFailCase {
  const char* Name;
  QToolButton* TMainForm::*Button;
  int Row;
  bool Editor;  // the operation opens the instruction editor
};

class InsWriteFailsTest : public InsListTest, public testing::WithParamInterface<TFailCase> {};

TEST_P(InsWriteFailsTest, KeepsListTableAndMemoryOnTheOldProgram) {
  const TFailCase& c = GetParam();
  const std::vector<std::uint32_t> words = Words(5);
  Start(words);
  Select(c.Row);
  for (const char* change : {"INSERT", "UPDATE", "DELETE"}) {
    Sql(QStringLiteral("CREATE TRIGGER Refuse%1 BEFORE %1 ON InsTable BEGIN SELECT RAISE(ABORT, "
                       "'the instructions are locked'); END")
            .arg(QLatin1String(change)));
  }
  const QStringList rows = [] {
    QStringList texts;
    for (int row = 0; row < List()->topLevelItemCount(); ++row) texts << RowText(row);
    return texts;
  }();
  const auto buffer = MainForm->FInsBuf;
  const bool shown = AnswerInsDlg([&] { Press(MainForm->*c.Button); }, [](TInsDlg& d) { FillDelay(d, 70); });
  EXPECT_EQ(shown, c.Editor);
  ASSERT_EQ(Errors.Texts().size(), 1) << "the error is shown";
  EXPECT_TRUE(Errors.Texts().at(0).contains(QLatin1String("the instructions are locked")))
      << Errors.Texts().at(0).toStdString();
  EXPECT_EQ(MainForm->FInsCount, 5);
  EXPECT_EQ(MainForm->FInsBuf, buffer) << "every slot is as it was";
  EXPECT_EQ(StoredProgram(), words);
  QStringList after;
  for (int row = 0; row < List()->topLevelItemCount(); ++row) after << RowText(row);
  EXPECT_EQ(after, rows);
  EXPECT_EQ(Selected(), c.Row);
  ExpectOneProgram();
}

INSTANTIATE_TEST_SUITE_P(Operations, InsWriteFailsTest,
                         testing::Values(TFailCase{"Add", &TMainForm::AddBtn, 2, true},
                                         TFailCase{"Insert", &TMainForm::InsertBtn, 2, true},
                                         TFailCase{"Edit", &TMainForm::EditBtn, 2, true},
                                         TFailCase{"Delete", &TMainForm::DelBtn, 2, false},
                                         TFailCase{"Clear", &TMainForm::ClearBtn, 2, false},
                                         TFailCase{"Up", &TMainForm::UpBtn, 2, false},
                                         TFailCase{"Down", &TMainForm::DownBtn, 2, false},
                                         TFailCase{"Top", &TMainForm::TopBtn, 2, false},
                                         TFailCase{"Bottom", &TMainForm::BotBtn, 2, false}),
                         [](const testing::TestParamInfo<TFailCase>& info) { return std::string(info.param.Name); });

// sqlite3 holds the file under an exclusive lock until it is told to let go.
class TLockingProcess {
 public:
  explicit TLockingProcess(const QString& file) {
    FProcess.start(QStringLiteral("sqlite3"), {file});
    if (!FProcess.waitForStarted(5000)) throw std::runtime_error("sqlite3 did not start");
    FProcess.write("BEGIN EXCLUSIVE;\nSELECT 'locked';\n");
    while (!FProcess.readAllStandardOutput().contains("locked")) {
      if (!FProcess.waitForReadyRead(5000)) throw std::runtime_error("sqlite3 did not lock the file");
    }
  }
  ~TLockingProcess() {
    FProcess.write("ROLLBACK;\n.quit\n");
    FProcess.closeWriteChannel();
    FProcess.waitForFinished(5000);
  }
  TLockingProcess(const TLockingProcess&) = delete;
  TLockingProcess& operator=(const TLockingProcess&) = delete;

 private:
  QProcess FProcess;
};

TEST_F(InsListTest, AFileLockedByAnotherProcessKeepsTheOldProgram) {
  const std::vector<std::uint32_t> words = Words(4);
  Start(words);
  Select(1);
  {
    const TLockingProcess lock(Cwd.File(DatabaseFile()));
    Press(MainForm->DelBtn);
  }
  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_TRUE(Errors.Texts().at(0).contains(QLatin1String("locked"))) << Errors.Texts().at(0).toStdString();
  EXPECT_EQ(MainForm->FInsCount, 4);
  EXPECT_EQ(ProgramInMemory(), words);
  EXPECT_EQ(Selected(), 1);
  ExpectOneProgram();
  // Once the lock is gone the same operation goes through.
  Press(MainForm->DelBtn);
  EXPECT_EQ(MainForm->FInsCount, 3);
  ExpectOneProgram();
}

}  // namespace
