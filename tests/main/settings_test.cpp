#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "programfixture.h"

namespace {

class SettingsTest : public TProgramFixture {
 protected:
  // Starts the program on a file whose ConfigTable row gets the given values.
  void StartWith(const QString& assignments = QString()) {
    MakeDatabase();
    if (!assignments.isEmpty()) Sql(QStringLiteral("UPDATE ConfigTable SET ") + assignments);
    CreateProgram();
  }
};

TEST_F(SettingsTest, StartUpShowsTheRecordAndWritesNothing) {
  MakeDatabase();
  Sql(QStringLiteral("UPDATE ConfigTable SET COMPort = 'COM5', ViewFlag = 10, RS485Baud = 7, CANBaud = 1, "
                     "IsExtID = 1, Pri = 21, AutoStart = 0, AutoRpt = 1, PWMRpt = 1, MakePos = 0"));
  const QByteArray before = FileDigest();
  CreateProgram();
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
  EXPECT_EQ(FileDigest(), before);
  const TConfigStu& c = MainForm->FConfig;
  EXPECT_EQ(c.COMPort, QStringLiteral("COM5"));
  EXPECT_EQ(c.ViewFlag, 10);
  EXPECT_EQ(c.RS485Baud, 7);
  EXPECT_EQ(c.CANBaud, 1);
  EXPECT_TRUE(c.IsExtID);
  EXPECT_EQ(c.Pri, 21);
  EXPECT_FALSE(c.AutoStart);
  EXPECT_TRUE(c.AutoRpt);
  EXPECT_TRUE(c.PWMRpt);
  EXPECT_FALSE(c.MakePos);
  EXPECT_EQ(c.WaveKind, 0);
  EXPECT_EQ(MainForm->PortSel->currentIndex(), -1) << "COM5 leads nowhere, so the selection is cleared";
  EXPECT_FALSE(MainForm->PWMCheck->isChecked());
  EXPECT_TRUE(MainForm->PosCheck->isChecked());
  EXPECT_FALSE(MainForm->CurrentCheck->isChecked());
  EXPECT_TRUE(MainForm->TempCheck->isChecked());
  EXPECT_EQ(MainForm->RS485BaudSel->currentText(), QStringLiteral("921.6k"));
  EXPECT_EQ(MainForm->CANBaudSel->currentText(), QStringLiteral("50k"));
  EXPECT_TRUE(MainForm->IsExtCheck->isChecked());
  EXPECT_EQ(MainForm->PriEdit->text(), QStringLiteral("21"));
  EXPECT_FALSE(MainForm->AutoStartCheck->isChecked());
  EXPECT_TRUE(MainForm->AutoRptCheck->isChecked());
  EXPECT_TRUE(MainForm->PWMRptCheck->isChecked());
}

TEST_F(SettingsTest, StartUpSetsTheRunState) {
  StartWith();
  const double now = Now();
  EXPECT_FALSE(MainForm->FRunning);
  EXPECT_EQ(MainForm->FPollSeq, 0);
  EXPECT_EQ(MainForm->FPollSize, 0);
  EXPECT_EQ(MainForm->FPollLeft, 0);
  EXPECT_EQ(MainForm->FDevTick, 0);
  EXPECT_EQ(MainForm->FInsCount, 0);
  EXPECT_NEAR(MainForm->FTimeBase, now, 5.0 / 86400) << "the date-time at which start-up ran";
  for (const TInsStu& word : MainForm->FInsBuf) EXPECT_EQ(word.Word, 0u);
}

TEST_F(SettingsTest, StoredPortNameSelectsItsEntryIgnoringCase) {
  PlugBoardInto(3);
  StartWith(QStringLiteral("COMPort = 'com3'"));
  EXPECT_FALSE(CommMod->Uart.Active()) << "the port opens only by the exact name COMn";
  EXPECT_EQ(MainForm->PortSel->currentIndex(), -1) << "so start-up ends with no selection";
  const long before = Statements();
  MainForm->ShowConfig();
  EXPECT_EQ(MainForm->PortSel->currentText(), QStringLiteral("COM3"));
  EXPECT_EQ(Statements(), before);
}

TEST_F(SettingsTest, PortNameOutsideTheListSelectsNothingButStillOpens) {
  PlugBoardInto(9);
  StartWith(QStringLiteral("COMPort = 'COM9'"));
  EXPECT_EQ(MainForm->PortSel->currentIndex(), -1);
  EXPECT_TRUE(CommMod->Uart.Active());
  EXPECT_TRUE(MainForm->StartBtn->isEnabled());
}

TEST_F(SettingsTest, PriorityTooLongForTheBoxIsShownCutAndNotWrittenBack) {
  StartWith(QStringLiteral("Pri = 1234"));
  EXPECT_EQ(MainForm->PriEdit->text(), QStringLiteral("123"));
  EXPECT_EQ(MainForm->FConfig.Pri, 1234);
  EXPECT_EQ(ConfigColumn(QStringLiteral("Pri")).toInt(), 1234);
}

// One operator action on a settings control, the column it writes and the
// value the column then holds.
struct TChangeCase {
  const char* Name;
  std::function<void(TMainForm*)> Act;
  const char* Column;
  QVariant Stored;
};

class SettingsChangeTest : public SettingsTest, public testing::WithParamInterface<TChangeCase> {};

TEST_P(SettingsChangeTest, WritesOneStatementOnChangeAndNoneWhenEqual) {
  StartWith();
  const TChangeCase& c = GetParam();
  long before = Statements();
  c.Act(MainForm);
  EXPECT_EQ(Statements(), before + 1);
  EXPECT_EQ(ConfigColumn(QString::fromLatin1(c.Column)).toString(), c.Stored.toString());
  before = Statements();
  c.Act(MainForm);  // the same value again
  EXPECT_EQ(Statements(), before);
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Controls, SettingsChangeTest,
    testing::Values(
        TChangeCase{"RS485Baud", [](TMainForm* f) { Choose(f->RS485BaudSel, 2); }, "RS485Baud", 2},
        TChangeCase{"CANBaud", [](TMainForm* f) { Choose(f->CANBaudSel, 7); }, "CANBaud", 7},
        TChangeCase{"IsExtID", [](TMainForm* f) { f->IsExtCheck->setChecked(false), f->IsExtCheck->click(); },
                    "IsExtID", 1},
        TChangeCase{"AutoStart", [](TMainForm* f) { f->AutoStartCheck->setChecked(true), f->AutoStartCheck->click(); },
                    "AutoStart", 0},
        TChangeCase{"AutoRpt", [](TMainForm* f) { f->AutoRptCheck->setChecked(false), f->AutoRptCheck->click(); },
                    "AutoRpt", 1},
        TChangeCase{"PWMRpt", [](TMainForm* f) { f->PWMRptCheck->setChecked(false), f->PWMRptCheck->click(); },
                    "PWMRpt", 1},
        TChangeCase{"Pri", [](TMainForm* f) { f->PriEdit->setText(QStringLiteral("17")); }, "Pri", 17},
        TChangeCase{"ViewFlag", [](TMainForm* f) { f->TempCheck->setChecked(true), f->TempCheck->click(); },
                    "ViewFlag", 7},
        TChangeCase{"COMPort", [](TMainForm* f) { Choose(f->PortSel, 5); }, "COMPort", "COM6"}),
    [](const testing::TestParamInfo<TChangeCase>& info) { return std::string(info.param.Name); });

TEST_F(SettingsTest, SettingAControlFromCodeWritesNothing) {
  StartWith();
  const long before = Statements();
  MainForm->RS485BaudSel->setCurrentIndex(1);
  MainForm->CANBaudSel->setCurrentIndex(1);
  MainForm->PortSel->setCurrentIndex(-1);
  MainForm->AutoRptCheck->setChecked(true);
  MainForm->PosCheck->setChecked(false);
  EXPECT_EQ(Statements(), before);
  EXPECT_EQ(MainForm->FConfig.RS485Baud, 4);
}

TEST_F(SettingsTest, ViewFlagKeepsItsBitsAboveTheFourKinds) {
  StartWith(QStringLiteral("ViewFlag = 53"));  // 0x35: PWM and Current on, bits 4 and 5 set
  ASSERT_FALSE(MainForm->PosCheck->isChecked());
  MainForm->PosCheck->click();
  EXPECT_EQ(ConfigColumn(QStringLiteral("ViewFlag")).toInt(), 0x37);
  EXPECT_EQ(MainForm->FConfig.ViewFlag, 0x37);
  MainForm->PosCheck->click();
  EXPECT_EQ(ConfigColumn(QStringLiteral("ViewFlag")).toInt(), 0x35);
  const long before = Statements();
  MainForm->PWMCheck->setChecked(false);
  MainForm->PWMCheck->click();  // checked again: bit 0 is already set
  EXPECT_EQ(Statements(), before);
}

TEST_F(SettingsTest, UncheckingAndCheckingPosTogglesBitOne) {
  StartWith();  // ViewFlag 15
  MainForm->PosCheck->click();
  EXPECT_EQ(ConfigColumn(QStringLiteral("ViewFlag")).toInt(), 13);
  MainForm->PosCheck->click();
  EXPECT_EQ(ConfigColumn(QStringLiteral("ViewFlag")).toInt(), 15);
}

TEST_F(SettingsTest, PriorityTextCountsAsZeroWhenItIsNoNumber) {
  StartWith(QStringLiteral("Pri = 5"));
  ASSERT_EQ(MainForm->PriEdit->text(), QStringLiteral("5"));
  long before = Statements();
  MainForm->PriEdit->selectAll();
  QTest::keyClick(MainForm->PriEdit, Qt::Key_Backspace);
  EXPECT_EQ(Statements(), before + 1);
  EXPECT_EQ(ConfigColumn(QStringLiteral("Pri")).toInt(), 0);
  QTest::keyClicks(MainForm->PriEdit, QStringLiteral("7"));
  EXPECT_EQ(ConfigColumn(QStringLiteral("Pri")).toInt(), 7);
  before = Statements();
  MainForm->PriEdit->home(false);
  QTest::keyClicks(MainForm->PriEdit, QStringLiteral("0"));
  EXPECT_EQ(MainForm->PriEdit->text(), QStringLiteral("07"));
  EXPECT_EQ(Statements(), before) << "07 is still 7";
}

TEST_F(SettingsTest, SameBaudEntryTwiceWritesOnce) {
  StartWith();
  const long before = Statements();
  Choose(MainForm->RS485BaudSel, 6);
  Choose(MainForm->RS485BaudSel, 6);
  EXPECT_EQ(Statements(), before + 1);
  EXPECT_EQ(ConfigColumn(QStringLiteral("RS485Baud")).toInt(), 6);
  EXPECT_EQ(ConfigColumn(QStringLiteral("CANBaud")).toInt(), 4) << "only its own column";
}

TEST_F(SettingsTest, KeyboardChoiceInAListCountsAsTheOperators) {
  StartWith();
  MainForm->CANBaudSel->setFocus();
  QTest::keyClick(MainForm->CANBaudSel, Qt::Key_Down);
  EXPECT_EQ(MainForm->FConfig.CANBaud, 5);
  EXPECT_EQ(ConfigColumn(QStringLiteral("CANBaud")).toInt(), 5);
}

TEST_F(SettingsTest, ChoosingAPortThatDoesNotOpenKeepsTheNameAndClearsTheSelection) {
  PlugBoardInto(1);
  StartWith();
  ASSERT_TRUE(CommMod->Uart.Active());
  ASSERT_TRUE(MainForm->StartBtn->isEnabled());
  Choose(MainForm->PortSel, 1);  // COM2 leads nowhere
  EXPECT_EQ(MainForm->FConfig.COMPort, QStringLiteral("COM2"));
  EXPECT_EQ(ConfigColumn(QStringLiteral("COMPort")).toString(), QStringLiteral("COM2"));
  EXPECT_EQ(MainForm->PortSel->currentIndex(), -1);
  EXPECT_FALSE(CommMod->Uart.Active());
  EXPECT_FALSE(MainForm->StartBtn->isEnabled());
  EXPECT_FALSE(MainForm->LoadBtn->isEnabled());
  // The stored entry again does nothing, not even a retry.
  const long before = Statements();
  Choose(MainForm->PortSel, 1);
  EXPECT_EQ(Statements(), before);
  EXPECT_EQ(MainForm->PortSel->currentIndex(), 1) << "no retry clears the selection again";
  // Another entry opens again.
  Choose(MainForm->PortSel, 0);
  EXPECT_TRUE(CommMod->Uart.Active());
  EXPECT_EQ(MainForm->PortSel->currentText(), QStringLiteral("COM1"));
  EXPECT_TRUE(MainForm->StartBtn->isEnabled());
  EXPECT_EQ(ConfigColumn(QStringLiteral("COMPort")).toString(), QStringLiteral("COM1"));
}

}  // namespace
