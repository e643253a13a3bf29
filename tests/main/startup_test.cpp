#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <qcustomplot.h>

#include "programfixture.h"

namespace {

class StartupTest : public TProgramFixture {
 protected:
  void ExpectDesignedSettings() const {
    EXPECT_EQ(MainForm->PortSel->currentIndex(), -1) << "the empty port name does not open";
    EXPECT_EQ(MainForm->RS485BaudSel->currentIndex(), 4);
    EXPECT_EQ(MainForm->CANBaudSel->currentIndex(), 4);
    EXPECT_FALSE(MainForm->IsExtCheck->isChecked());
    EXPECT_EQ(MainForm->PriEdit->text(), QStringLiteral("0"));
    EXPECT_TRUE(MainForm->AutoStartCheck->isChecked());
    EXPECT_FALSE(MainForm->AutoRptCheck->isChecked());
    EXPECT_FALSE(MainForm->PWMRptCheck->isChecked());
    for (QCheckBox* view : {MainForm->PWMCheck, MainForm->PosCheck, MainForm->CurrentCheck, MainForm->TempCheck}) {
      EXPECT_TRUE(view->isChecked());
    }
  }

  void ExpectClearedRecord() const {
    const TConfigStu& c = MainForm->FConfig;
    EXPECT_TRUE(c.COMPort.isEmpty());
    EXPECT_EQ(c.ViewFlag, 0);
    EXPECT_EQ(c.RS485Baud, 0);
    EXPECT_EQ(c.CANBaud, 0);
    EXPECT_EQ(c.Pri, 0);
    EXPECT_FALSE(c.IsExtID || c.AutoStart || c.AutoRpt || c.PWMRpt || c.MakePos);
  }

  void ShowSettingsPage() {
    MainForm->show();
    MainForm->Pages->setCurrentWidget(MainForm->ConfigSheet);
    PumpEvents(10);
  }
};

TEST_F(StartupTest, MissingFileShowsBothErrorsAndTheWindowStillOpens) {
  CreateProgram();
  ASSERT_EQ(Errors.Texts().size(), 2) << Errors.Texts().join('\n').toStdString();
  EXPECT_FALSE(Errors.Texts().at(0).isEmpty());
  EXPECT_FALSE(Errors.Texts().at(1).isEmpty());
  EXPECT_FALSE(QFile::exists(Cwd.File(DatabaseFile()))) << "the program never creates the file";
  MainForm->show();
  EXPECT_TRUE(MainForm->isVisible());
  EXPECT_EQ(MainForm->NodeList->topLevelItemCount(), 0);
  EXPECT_EQ(MainForm->InsList->topLevelItemCount(), 0);
  ExpectClearedRecord();
  // Start-up stopped before the port step: the controls keep their layout states.
  EXPECT_EQ(MainForm->PortSel->currentText(), QStringLiteral("COM1"));
  EXPECT_TRUE(MainForm->LoadBtn->isEnabled());
  EXPECT_TRUE(MainForm->StopBtn->isEnabled());
  EXPECT_EQ(MainForm->AngleChart->graphCount(), 0);
  EXPECT_FALSE(MainForm->FRunning);
  EXPECT_GT(MainForm->FTimeBase, 0.0) << "step 1 ran";
}

TEST_F(StartupTest, MissingFileMakesEveryChangeAnErrorOfItsOwn) {
  CreateProgram();
  Errors.Clear();
  ShowSettingsPage();
  QTest::mouseClick(MainForm->AutoRptCheck, Qt::LeftButton);
  QTest::keyClicks(MainForm->PriEdit, QStringLiteral("4"));
  EXPECT_EQ(Errors.Texts().size(), 2);
  EXPECT_TRUE(MainForm->FConfig.AutoRpt) << "the record takes the value before the write";
  EXPECT_EQ(MainForm->FConfig.Pri, 4);
  EXPECT_FALSE(QFile::exists(Cwd.File(DatabaseFile())));
}

struct TRowsCase {
  const char* Name;
  int Rows;
};

class ConfigRowsTest : public StartupTest, public testing::WithParamInterface<TRowsCase> {};

TEST_P(ConfigRowsTest, ControlsKeepTheirDesignedStates) {
  MakeDatabase();
  Sql(QStringLiteral("UPDATE ConfigTable SET COMPort = 'COM2', Pri = 9, AutoRpt = 1"));
  if (GetParam().Rows == 0) Sql(QStringLiteral("DELETE FROM ConfigTable"));
  if (GetParam().Rows == 2) Sql(QStringLiteral("INSERT INTO ConfigTable SELECT * FROM ConfigTable"));
  const QByteArray before = FileDigest();
  CreateProgram();
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
  ExpectDesignedSettings();
  ExpectClearedRecord();
  EXPECT_FALSE(CommMod->Uart.Active());
  EXPECT_FALSE(MainForm->StartBtn->isEnabled());
  EXPECT_EQ(FileDigest(), before);
}

INSTANTIATE_TEST_SUITE_P(Counts, ConfigRowsTest, testing::Values(TRowsCase{"NoRow", 0}, TRowsCase{"TwoRows", 2}),
                         [](const testing::TestParamInfo<TRowsCase>& info) { return std::string(info.param.Name); });

TEST_F(StartupTest, ChangesWithoutAConfigurationRowLiveForTheRunOnly) {
  MakeDatabase();
  Sql(QStringLiteral("DELETE FROM ConfigTable"));
  CreateProgram();
  ShowSettingsPage();
  QTest::mouseClick(MainForm->PWMRptCheck, Qt::LeftButton);
  EXPECT_TRUE(MainForm->FConfig.PWMRpt);
  EXPECT_TRUE(Errors.Texts().isEmpty());
  EXPECT_EQ(SqlValue(QStringLiteral("SELECT COUNT(*) AS V FROM ConfigTable")).toInt(), 0);
}

TEST_F(StartupTest, FileThatIsNoDatabaseIsReportedAndLeftAlone) {
  {
    QFile file(Cwd.File(DatabaseFile()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
  }
  const QByteArray before = FileDigest();
  CreateProgram();
  EXPECT_GE(Errors.Texts().size(), 1);
  for (const QString& text : Errors.Texts()) EXPECT_FALSE(text.isEmpty());
  MainForm->show();
  EXPECT_TRUE(MainForm->isVisible());
  EXPECT_EQ(MainForm->NodeList->topLevelItemCount(), 0);
  ExpectClearedRecord();
  Errors.Clear();
  ShowSettingsPage();
  QTest::mouseClick(MainForm->IsExtCheck, Qt::LeftButton);
  EXPECT_EQ(Errors.Texts().size(), 1);
  EXPECT_EQ(FileDigest(), before);
}

// A database that refuses every change of its configuration row, the way a
// write-protected file does.
class RefusingDatabaseTest : public StartupTest {
 protected:
  void SetUp() override {
    PlugBoardInto(1);
    MakeDatabase();
    Sql(QStringLiteral("CREATE TRIGGER RefuseWrites BEFORE UPDATE ON ConfigTable "
                       "BEGIN SELECT RAISE(ABORT, 'attempt to write a readonly database'); END"));
    CreateProgram();
    ASSERT_TRUE(Errors.Texts().isEmpty());
    ASSERT_TRUE(CommMod->Uart.Active());
    ShowSettingsPage();
  }

  void ExpectOneEngineError() {
    ASSERT_EQ(Errors.Texts().size(), 1);
    EXPECT_TRUE(Errors.Texts().at(0).contains(QLatin1String("readonly"))) << Errors.Texts().at(0).toStdString();
    Errors.Clear();
  }
};

TEST_F(RefusingDatabaseTest, EveryChangeShowsTheEngineErrorAndKeepsTheNewValue) {
  QTest::mouseClick(MainForm->AutoStartCheck, Qt::LeftButton);
  ExpectOneEngineError();
  EXPECT_FALSE(MainForm->FConfig.AutoStart);
  EXPECT_FALSE(MainForm->AutoStartCheck->isChecked());
  EXPECT_EQ(ConfigColumn(QStringLiteral("AutoStart")).toInt(), 1) << "the database keeps the old value";

  MainForm->PriEdit->setFocus();
  QTest::keyClicks(MainForm->PriEdit, QStringLiteral("3"));  // "03"
  ExpectOneEngineError();
  EXPECT_EQ(MainForm->FConfig.Pri, 3);

  MainForm->RS485BaudSel->setFocus();
  QTest::keyClick(MainForm->RS485BaudSel, Qt::Key_Up);
  ExpectOneEngineError();
  EXPECT_EQ(MainForm->FConfig.RS485Baud, 3);
  EXPECT_EQ(ConfigColumn(QStringLiteral("RS485Baud")).toInt(), 4);
}

TEST_F(RefusingDatabaseTest, FailedPortWriteSkipsTheReopening) {
  MainForm->PortSel->setFocus();
  QTest::keyClick(MainForm->PortSel, Qt::Key_Down);  // COM2
  ExpectOneEngineError();
  EXPECT_EQ(MainForm->FConfig.COMPort, QStringLiteral("COM2"));
  EXPECT_EQ(MainForm->PortSel->currentText(), QStringLiteral("COM2"));
  EXPECT_TRUE(CommMod->Uart.Active()) << "the port was not reopened by the new name";
  EXPECT_EQ(ConfigColumn(QStringLiteral("COMPort")).toString(), QStringLiteral("COM1"));
}

TEST_F(RefusingDatabaseTest, FailedViewWriteKeepsTheNewFlags) {
  QTest::mouseClick(MainForm->CurrentCheck, Qt::LeftButton);
  ExpectOneEngineError();
  EXPECT_EQ(MainForm->FConfig.ViewFlag, 11);
  QTest::mouseClick(MainForm->CurrentCheck, Qt::LeftButton);
  ExpectOneEngineError();
  EXPECT_EQ(MainForm->FConfig.ViewFlag, 15);
}

}  // namespace
