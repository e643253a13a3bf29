// The node list in the real window: filled at start-up, and changed by the
// tool buttons and the double click through the node editor, each change
// written to a real Korvane.mdb.
#include <qcustomplot.h>

#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "chartseries.h"
#include "noderow.h"
#include "programfixture.h"
#include "updown.h"

namespace {

class NodeListTest : public TProgramFixture {
 protected:
  // The nodes of the table, stored in an order the list does not keep.
  void StartWith(const std::vector<TNodeStu>& nodes) {
    MakeDatabase();
    for (const TNodeStu& n : nodes) SqlNode(n.NodeName, n.Channel, n.Addr, n.Angle, n.Interv);
    CreateProgram();
    ASSERT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
  }

  static QTreeWidget* List() { return MainForm->NodeList; }
  static int Rows() { return List()->topLevelItemCount(); }
  static TNodeRow* Row(int i) { return TNodeRow::Of(List()->topLevelItem(i)); }

  static QStringList RowTexts(int i) {
    QStringList texts;
    for (int c = 0; c < List()->topLevelItem(i)->columnCount(); ++c) texts << List()->topLevelItem(i)->text(c);
    return texts;
  }

  static int SelectedRow() {
    const QList<QTreeWidgetItem*> selected = List()->selectedItems();
    return selected.isEmpty() ? -1 : List()->indexOfTopLevelItem(selected.first());
  }

  static QStringList SeriesTitles(const QCustomPlot* chart) {
    QStringList titles;
    for (int i = 0; i < chart->graphCount(); ++i) titles << chart->graph(i)->name();
    return titles;
  }

  static int SeriesCount() {
    return MainForm->AngleChart->graphCount() + MainForm->CurrChart->graphCount() + MainForm->TempChart->graphCount();
  }

  // A tool button pressed while the node list holds the keyboard focus.
  static void ClickWithListFocus(QToolButton* button) {
    List()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), List());
    QTest::mouseClick(button, Qt::LeftButton);
  }

  static void DoubleClickRow(int i) {
    const QRect cell = List()->visualRect(List()->model()->index(i, 1));
    // The first click of a double click presses the row.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  }

  static std::function<void(TNodeDlg&)> Enter(const char* name, int busItem, const char* hexAddr, int angle,
                                              int interv) {
    return [=](TNodeDlg& editor) {
      editor.NameEdit->setText(QString::fromLatin1(name));
      editor.AddrHexEdit->setText(QString::fromLatin1(hexAddr));
      editor.ChannelSel->setCurrentIndex(busItem);
      editor.AngleUpDown->SetPosition(angle);
      editor.IntervUpDown->SetPosition(interv);
    };
  }
};

TNodeStu Node(const char* name, int channel, int addr, int angle = 0, int interv = 0) {
  return MakeNode(QString::fromLatin1(name), channel, addr, angle, interv);
}

const std::vector<TNodeStu> SevenNodes = {
    Node("R1", 2, 1, 30, 500), Node("C5", 1, 5, 45, 250), Node("C3", 1, 3, 90, 1000),
    Node("B7", 0, 7, 10, 50),  Node("C9", 1, 9),          Node("R4", 2, 4),
    Node("X2", 5, 2)};

TEST_F(NodeListTest, StartUpListsTheTableByBusAndAddressAndTicksTheFirstFive) {
  StartWith(SevenNodes);
  ASSERT_EQ(Rows(), 7);
  const QStringList expected[] = {{"B7", "07", "CAN+485", "10", "50"}, {"C3", "03", "CAN", "90", "1000"},
                                  {"C5", "05", "CAN", "45", "250"},    {"C9", "09", "CAN", "0", "0"},
                                  {"R1", "01", "RS485", "30", "500"},  {"R4", "04", "RS485", "0", "0"},
                                  {"X2", "02", "", "0", "0"}};
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(RowTexts(i), expected[i]) << "a fresh row has exactly four sub-items";
    EXPECT_EQ(Row(i)->IsTicked(), i < 5);
    EXPECT_EQ(Row(i)->Node()->NodeName, expected[i].at(0));
  }
  EXPECT_EQ(SelectedRow(), 6) << "every added row was selected in turn";
  EXPECT_EQ(SeriesTitles(MainForm->AngleChart),
            (QStringList{"B7PWM", "B7Pos", "C3PWM", "C3Pos", "C5PWM", "C5Pos", "C9PWM", "C9Pos", "R1PWM", "R1Pos"}));
  EXPECT_EQ(SeriesTitles(MainForm->CurrChart),
            (QStringList{"B7Current", "C3Current", "C5Current", "C9Current", "R1Current"}));
  EXPECT_EQ(SeriesTitles(MainForm->TempChart), (QStringList{"B7Temp", "C3Temp", "C5Temp", "C9Temp", "R1Temp"}));
  // The records carry the table's keys.
  for (int i = 0; i < 7; ++i) EXPECT_GT(Row(i)->Node()->ID, 0);
}

TEST_F(NodeListTest, EmptyTableGivesAnEmptyListAndNoSeries) {
  StartWith({});
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(SeriesCount(), 0);
}

// An empty picture: nothing drawn, the room kept.
bool ShowsNoPicture(const QIcon& icon) {
  const QImage image = icon.pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
  if (image.size() != QSize(24, 24)) return false;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(image.pixel(x, y)) != 0) return false;
    }
  }
  return true;
}

TEST_F(NodeListTest, RowPictureFollowsTheBus) {
  StartWith({Node("Both", 0, 1), Node("Can", 1, 1), Node("Rs", 2, 1), Node("Odd", 7, 1)});
  EXPECT_TRUE(ShowsNoPicture(Row(0)->icon(0))) << "a node on both buses has no picture";
  EXPECT_EQ(Row(1)->icon(0).cacheKey(), MainForm->ImageList1.at(0).cacheKey());
  EXPECT_EQ(Row(2)->icon(0).cacheKey(), MainForm->ImageList1.at(1).cacheKey());
  EXPECT_TRUE(ShowsNoPicture(Row(3)->icon(0)));
  EXPECT_FALSE(ShowsNoPicture(Row(1)->icon(0)));
  EXPECT_EQ(Row(0)->text(2), QStringLiteral("CAN+485"));
  EXPECT_EQ(Row(3)->text(2), QString());
}

TEST_F(NodeListTest, AddStoresTheNodeAndAppendsItUntickedAndSelected) {
  StartWith({Node("C5", 1, 5), Node("R1", 2, 1)});
  ShowActive();
  List()->setCurrentItem(List()->topLevelItem(0));
  const int seriesBefore = SeriesCount();
  const TDialogVisit answer =
      AnswerNodeDlg([] { ClickWithListFocus(MainForm->AddBtn); }, Enter("Elbow", 0, "0a", 120, 300));
  ASSERT_TRUE(answer.Shown);
  EXPECT_TRUE(answer.Modal);
  EXPECT_EQ(answer.Caption, QStringLiteral("Add node"));
  ASSERT_EQ(Rows(), 3);
  EXPECT_EQ(RowTexts(2), (QStringList{"Elbow", "0A", "CAN", "120", "300"})) << "a node added later goes to the end";
  EXPECT_FALSE(Row(2)->IsTicked());
  EXPECT_EQ(SelectedRow(), 2);
  EXPECT_EQ(SeriesCount(), seriesBefore);
  const QVector<QVariantList> table = TableNodes();
  ASSERT_EQ(table.size(), 3);
  EXPECT_EQ(table[2].mid(0, 5), (QVariantList{"Elbow", 1, 10, 120, 300}));
  EXPECT_EQ(table[2][5].toInt(), Row(2)->Node()->ID);
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

TEST_F(NodeListTest, CancelledAddChangesNothing) {
  StartWith({Node("C5", 1, 5)});
  ShowActive();
  const long before = Statements();
  const TDialogVisit answer =
      AnswerNodeDlg([] { ClickWithListFocus(MainForm->AddBtn); }, Enter("Never", 1, "1", 1, 1), false);
  ASSERT_TRUE(answer.Shown);
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(Statements(), before);
}

TEST_F(NodeListTest, DoubleClickEditsTheRowAndKeepsItsReportColumnsAndSeries) {
  StartWith({Node("C5", 1, 5, 45, 250), Node("R1", 2, 1)});
  ShowActive();
  DispatchPayload(MakeReport(ReportKindPos, 1, 5, 10, 1234));
  DispatchPayload(MakeReport(0x19, 1, 5, 20, 250));
  TNodeStu seen;
  const TDialogVisit answer = AnswerNodeDlg([] { DoubleClickRow(0); },
                                            [&](TNodeDlg& editor) {
                                              editor.StoreNode(seen);  // what the editor showed
                                              Enter("Wrist", 1, "21", 200, 1500)(editor);
                                            });
  ASSERT_TRUE(answer.Shown);
  EXPECT_TRUE(answer.Modal);
  EXPECT_EQ(answer.Caption, QStringLiteral("Edit node"));
  EXPECT_EQ(seen.NodeName, QStringLiteral("C5"));
  EXPECT_EQ(seen.Addr, 5);
  EXPECT_EQ(seen.Angle, 45);
  EXPECT_EQ(seen.Interv, 250);
  EXPECT_EQ(RowTexts(0), (QStringList{"Wrist", "21", "RS485", "200", "1500", "123.4", "25", "2.5"}));
  EXPECT_EQ(Row(0)->Node()->Addr, 0x21);
  EXPECT_EQ(TableNodes()[0].mid(0, 5), (QVariantList{"Wrist", 2, 0x21, 200, 1500}));
  EXPECT_EQ(SeriesTitles(MainForm->AngleChart), (QStringList{"C5PWM", "C5Pos", "R1PWM", "R1Pos"}))
      << "the series keep their names and tags";
  EXPECT_NE(MainForm->FindSeries(1, 5, KindPos), nullptr);
  EXPECT_EQ(MainForm->FindSeries(2, 0x21, KindPos), nullptr);
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

TEST_F(NodeListTest, TheEditorKeepsItsValuesBetweenUses) {
  StartWith({Node("C5", 1, 5, 45, 250)});
  ShowActive();
  List()->setCurrentItem(List()->topLevelItem(0));
  const TDialogVisit edit = AnswerNodeDlg([] { ClickWithListFocus(MainForm->EditBtn); }, nullptr, false);
  ASSERT_TRUE(edit.Shown);
  TNodeStu shown;
  const TDialogVisit add =
      AnswerNodeDlg([] { ClickWithListFocus(MainForm->AddBtn); }, [&](TNodeDlg& editor) { editor.StoreNode(shown); });
  ASSERT_TRUE(add.Shown);
  EXPECT_EQ(add.Caption, QStringLiteral("Add node"));
  EXPECT_EQ(shown.NodeName, QStringLiteral("C5"));
  EXPECT_EQ(shown.Addr, 5);
  EXPECT_EQ(shown.Angle, 45);
  EXPECT_EQ(shown.Interv, 250);
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(RowTexts(1), RowTexts(0));
}

TEST_F(NodeListTest, AConversionErrorInTheEditorGoesToTheErrorBox) {
  StartWith({Node("C5", 1, 5)});
  ShowActive();
  const TDialogVisit answer = AnswerNodeDlg([] { DoubleClickRow(0); },
                                            [](TNodeDlg& editor) {
                                              editor.AddrHexEdit->selectAll();
                                              QTest::keyClicks(editor.AddrHexEdit, QStringLiteral("G"));
                                            });
  ASSERT_TRUE(answer.Shown);
  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_EQ(Errors.Texts().at(0), QStringLiteral("'$G' is not a valid integer value"));
  EXPECT_EQ(Row(0)->Node()->Addr, 5) << "the address the spin kept";
  EXPECT_EQ(TableNodes()[0][2].toInt(), 5);
}

TEST_F(NodeListTest, DeletingTheLastOfThreeSelectsTheNewLast) {
  StartWith({Node("A", 1, 1), Node("B", 1, 2), Node("C", 1, 3)});
  ShowActive();
  List()->setCurrentItem(List()->topLevelItem(2));
  ClickWithListFocus(MainForm->DelBtn);
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(SelectedRow(), 1);
  EXPECT_EQ(List()->currentItem(), List()->topLevelItem(1));
  EXPECT_EQ(TableNodes().size(), 2);
  List()->setCurrentItem(List()->topLevelItem(0));
  ClickWithListFocus(MainForm->DelBtn);
  EXPECT_EQ(SelectedRow(), 0) << "the row that moved up into the place";
  ClickWithListFocus(MainForm->DelBtn);
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(SelectedRow(), -1) << "deleting the only row leaves no selection";
  EXPECT_EQ(TableNodes().size(), 0);
  const long before = Statements();
  ClickWithListFocus(MainForm->DelBtn);
  ClickWithListFocus(MainForm->EditBtn);
  EXPECT_EQ(Statements(), before) << "nothing selected: nothing to do";
}

TEST_F(NodeListTest, DeletingATickedNodeRemovesItsSeriesAnUntickedOneLeavesTheCharts) {
  StartWith({Node("A", 1, 1), Node("B", 1, 2), Node("C", 1, 3), Node("D", 1, 4), Node("E", 1, 5), Node("F", 1, 6)});
  ShowActive();
  List()->setCurrentItem(List()->topLevelItem(1));
  ClickWithListFocus(MainForm->DelBtn);
  EXPECT_EQ(SeriesTitles(MainForm->AngleChart),
            (QStringList{"APWM", "APos", "CPWM", "CPos", "DPWM", "DPos", "EPWM", "EPos"}));
  EXPECT_EQ(SeriesTitles(MainForm->TempChart), (QStringList{"ATemp", "CTemp", "DTemp", "ETemp"}));
  const int before = SeriesCount();
  List()->setCurrentItem(List()->topLevelItem(4));  // F, unticked
  ClickWithListFocus(MainForm->DelBtn);
  EXPECT_EQ(Rows(), 4);
  EXPECT_EQ(SeriesCount(), before);
}

TEST_F(NodeListTest, ClearRemovesTheSeriesOfTickedRowsAndEmptiesListAndTable) {
  StartWith({Node("A", 1, 1), Node("B", 2, 2), Node("C", 1, 3)});
  Row(1)->setCheckState(0, Qt::Unchecked);
  ASSERT_EQ(SeriesCount(), 8);
  ShowActive();
  ClickWithListFocus(MainForm->ClearBtn);
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(SeriesCount(), 0);
  EXPECT_EQ(TableNodes().size(), 0);
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

TEST_F(NodeListTest, ToolButtonsDoNothingWhileNeitherListHasTheFocus) {
  StartWith({Node("A", 1, 1), Node("B", 1, 2)});
  ShowActive();
  MainForm->PriEdit->setFocus();
  const long before = Statements();
  const TDialogVisit answer = AnswerNodeDlg(
      [] {
        for (QToolButton* button : {MainForm->AddBtn, MainForm->EditBtn, MainForm->DelBtn, MainForm->ClearBtn}) {
          QTest::mouseClick(button, Qt::LeftButton);
        }
      },
      Enter("Never", 0, "1", 1, 1));
  EXPECT_FALSE(answer.Shown);
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(Statements(), before);
  EXPECT_EQ(TableNodes().size(), 2);
}

TEST_F(NodeListTest, AnInsertThatStoresNothingAddsNoRow) {
  StartWith({Node("A", 1, 1)});
  Sql(QStringLiteral("CREATE TRIGGER IgnoreInserts BEFORE INSERT ON NodeTable BEGIN SELECT RAISE(IGNORE); END"));
  ShowActive();
  const TDialogVisit answer = AnswerNodeDlg([] { ClickWithListFocus(MainForm->AddBtn); }, Enter("Lost", 0, "2", 0, 0));
  ASSERT_TRUE(answer.Shown);
  EXPECT_EQ(Rows(), 1);
  EXPECT_EQ(SelectedRow(), 0);
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

TEST_F(NodeListTest, AnEditOfARowThatIsGoneRestoresTheRecord) {
  StartWith({Node("C5", 1, 5, 45, 250)});
  Sql(QStringLiteral("DELETE FROM NodeTable"));
  ShowActive();
  const TDialogVisit answer = AnswerNodeDlg([] { DoubleClickRow(0); }, Enter("Moved", 1, "6", 1, 1));
  ASSERT_TRUE(answer.Shown);
  EXPECT_EQ(RowTexts(0), (QStringList{"C5", "05", "CAN", "45", "250"}));
  EXPECT_EQ(Row(0)->Node()->NodeName, QStringLiteral("C5"));
  EXPECT_EQ(Row(0)->Node()->Addr, 5);
  EXPECT_EQ(Row(0)->Node()->Channel, 1);
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

// A database that refuses every change of the node table.
struct TRefusalCase {
  const char* Name;
  const char* Event;  // the statement the trigger refuses
  QToolButton* Ui::TMainForm::*Button;
};

class RefusedNodeChangeTest : public NodeListTest, public testing::WithParamInterface<TRefusalCase> {};

TEST_P(RefusedNodeChangeTest, LeavesListRecordSeriesAndTableAsTheyWere) {
  StartWith({Node("A", 1, 1, 10, 100), Node("B", 2, 2, 20, 200)});
  Sql(QStringLiteral("CREATE TRIGGER Refuse BEFORE %1 ON NodeTable "
                     "BEGIN SELECT RAISE(ABORT, 'attempt to write a readonly database'); END")
          .arg(QString::fromLatin1(GetParam().Event)));
  ShowActive();
  List()->setCurrentItem(List()->topLevelItem(0));
  const QStringList rows[] = {RowTexts(0), RowTexts(1)};
  const QStringList angleSeries = SeriesTitles(MainForm->AngleChart);
  const QVector<QVariantList> table = TableNodes();
  QToolButton* button = MainForm->*GetParam().Button;
  AnswerNodeDlg([button] { ClickWithListFocus(button); }, Enter("Changed", 1, "3F", 300, 3000));
  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_TRUE(Errors.Texts().at(0).contains(QLatin1String("readonly"))) << Errors.Texts().at(0).toStdString();
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(RowTexts(0), rows[0]);
  EXPECT_EQ(RowTexts(1), rows[1]);
  EXPECT_EQ(Row(0)->Node()->NodeName, QStringLiteral("A"));
  EXPECT_EQ(Row(0)->Node()->Channel, 1);
  EXPECT_EQ(Row(0)->Node()->Addr, 1);
  EXPECT_EQ(Row(0)->Node()->Angle, 10);
  EXPECT_EQ(Row(0)->Node()->Interv, 100);
  EXPECT_EQ(SeriesTitles(MainForm->AngleChart), angleSeries);
  EXPECT_EQ(SeriesCount(), 8);
  EXPECT_EQ(TableNodes(), table);
  EXPECT_EQ(SelectedRow(), 0);
}

INSTANTIATE_TEST_SUITE_P(Operations, RefusedNodeChangeTest,
                         testing::Values(TRefusalCase{"Add", "INSERT", &Ui::TMainForm::AddBtn},
                                         TRefusalCase{"Edit", "UPDATE", &Ui::TMainForm::EditBtn},
                                         TRefusalCase{"Delete", "DELETE", &Ui::TMainForm::DelBtn},
                                         TRefusalCase{"Clear", "DELETE", &Ui::TMainForm::ClearBtn}),
                         [](const testing::TestParamInfo<TRefusalCase>& info) { return std::string(info.param.Name); });

// Another program holds the file locked: the engine gives up after its busy
// time-out and the edit is undone in memory too, so reports keep finding
// the node by the values the table and the row show.
TEST_F(NodeListTest, AnEditOfALockedFileRestoresTheRecord) {
  StartWith({Node("C5", 1, 5, 45, 250)});
  ShowActive();
  TSqlFile locker(Cwd.File(DatabaseFile()));
  locker.Exec(QStringLiteral("BEGIN EXCLUSIVE"));
  const TDialogVisit answer = AnswerNodeDlg([] { DoubleClickRow(0); }, Enter("Moved", 1, "6", 1, 1));
  locker.Exec(QStringLiteral("ROLLBACK"));
  ASSERT_TRUE(answer.Shown);
  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_TRUE(Errors.Texts().at(0).contains(QLatin1String("locked"))) << Errors.Texts().at(0).toStdString();
  EXPECT_EQ(Row(0)->Node()->NodeName, QStringLiteral("C5"));
  EXPECT_EQ(Row(0)->Node()->Addr, 5);
  EXPECT_EQ(RowTexts(0), (QStringList{"C5", "05", "CAN", "45", "250"}));
  EXPECT_EQ(TableNodes()[0].mid(0, 5), (QVariantList{"C5", 1, 5, 45, 250}));
  DispatchPayload(MakeReport(ReportKindPos, 1, 5, 10, 77));
  EXPECT_EQ(Row(0)->text(5), QStringLiteral("7.7"));
}

}  // namespace
