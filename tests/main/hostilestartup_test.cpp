// Start-up of the real window on a hostile Korvane.mdb, one not written by
// this program: the window comes up with a clear error or a view of what
// it could take, never crashes, writes nothing at start-up, keeps the
// program within its 256 words and answers the operator afterwards.
#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include "hostiledatabase.h"
#include "programfixture.h"

namespace {

struct THostileStartCase {
  const char* Name;
  QStringList Statements;
  const char* Error;  // part of the one error shown, or nullptr for none
};

class HostileStartupTest : public TProgramFixture, public testing::WithParamInterface<THostileStartCase> {};

TEST_P(HostileStartupTest, ComesUpWithAClearErrorOrWhatItCouldTake) {
  const THostileStartCase& c = GetParam();
  PlugBoardInto(1);
  MakeDatabase();
  for (const QString& s : hostile::LooseTables() + c.Statements) Sql(s);
  const QByteArray before = FileDigest();

  CreateProgram();
  ASSERT_NE(MainForm, nullptr);
  MainForm->show();
  EXPECT_TRUE(MainForm->isVisible());
  if (c.Error) {
    ASSERT_EQ(Errors.Texts().size(), 1) << Errors.Texts().join('\n').toStdString();
    EXPECT_TRUE(Errors.Texts().at(0).contains(QLatin1String(c.Error))) << Errors.Texts().at(0).toStdString();
  } else {
    EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
  }
  EXPECT_EQ(FileDigest(), before) << "start-up wrote to the file";
  EXPECT_GE(MainForm->FInsCount, 0);
  EXPECT_LE(MainForm->FInsCount, MaxInsCount);
  EXPECT_LE(MainForm->InsList->topLevelItemCount(), MaxInsCount);

  // The window answers the operator: a settings change goes through.
  Errors.Clear();
  MainForm->Pages->setCurrentWidget(MainForm->ConfigSheet);
  const bool extended = MainForm->FConfig.IsExtID;
  QTest::mouseClick(MainForm->IsExtCheck, Qt::LeftButton);
  EXPECT_NE(MainForm->FConfig.IsExtID, extended);
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileStartupTest,
    testing::Values(
        THostileStartCase{"NullPort", {"UPDATE ConfigTable SET COMPort = NULL"}, "the column COMPort holds no value"},
        THostileStartCase{"FlagsAsText", {"UPDATE ConfigTable SET ViewFlag = 'all'"},
                          "column ViewFlag is not a 32-bit integer"},
        THostileStartCase{"PriorityOutOfRange", {"UPDATE ConfigTable SET Pri = -99999999999"},
                          "column Pri is not a 32-bit integer"},
        THostileStartCase{"IndexesOutsideTheLists", {"UPDATE ConfigTable SET RS485Baud = 300, CANBaud = -7"}, nullptr},
        THostileStartCase{"MegabytePortName", {"UPDATE ConfigTable SET COMPort = " + hostile::MegabyteText()},
                          nullptr},
        THostileStartCase{"ManyRowsAndAMegabyteName",
                          {hostile::Nodes(10000), hostile::InsRows(300),
                           "INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) VALUES(" +
                               hostile::MegabyteText() + ", 1, 9, 9, 9)"},
                          nullptr}),
    [](const testing::TestParamInfo<THostileStartCase>& info) { return std::string(info.param.Name); });

class HostileSettingsTest : public TProgramFixture {};

TEST_F(HostileSettingsTest, ValuesOutsideTheListsShowNoEntryAndKeepTheRecord) {
  MakeDatabase();
  for (const QString& s : hostile::LooseTables()) Sql(s);
  Sql("UPDATE ConfigTable SET RS485Baud = 300, CANBaud = -7, COMPort = " + hostile::MegabyteText());
  CreateProgram();
  EXPECT_EQ(MainForm->RS485BaudSel->currentIndex(), -1);
  EXPECT_EQ(MainForm->CANBaudSel->currentIndex(), -1);
  EXPECT_EQ(MainForm->PortSel->currentIndex(), -1);
  EXPECT_FALSE(CommMod->Uart.Active());
  EXPECT_EQ(MainForm->FConfig.RS485Baud, 300);
  EXPECT_EQ(MainForm->FConfig.CANBaud, -7);
  EXPECT_EQ(MainForm->FConfig.COMPort.size(), hostile::MegabyteLength);
}

}  // namespace
