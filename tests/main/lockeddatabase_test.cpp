// The database file locked by another process while the operator changes a
// setting in the real window: an sqlite3 process holds a write transaction,
// the change waits out the busy time-out and then shows the engine's error.
// The program runs on (a frame that arrived meanwhile is handled, later
// changes go through once the lock is gone), the record and the control agree,
// and the row in the file is whole: the old values, nothing half-written.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include "programfixture.h"

namespace {

// sqlite3 holding a write transaction on the file until Release.
class TLockingProcess {
 public:
  explicit TLockingProcess(const QString& file) {
    FProcess.setProcessChannelMode(QProcess::MergedChannels);
    FProcess.start(QStringLiteral("sqlite3"), {file});
    FProcess.write("BEGIN IMMEDIATE;\nUPDATE ConfigTable SET Pri = Pri;\nSELECT 'locked';\n");
    while (!FProcess.readAll().contains("locked")) {
      if (!FProcess.waitForReadyRead(10000)) throw std::runtime_error("sqlite3 did not take the lock");
    }
  }
  ~TLockingProcess() { Release(); }
  TLockingProcess(const TLockingProcess&) = delete;
  TLockingProcess& operator=(const TLockingProcess&) = delete;

  void Release() {
    if (FProcess.state() == QProcess::NotRunning) return;
    FProcess.write("ROLLBACK;\n.quit\n");
    FProcess.closeWriteChannel();
    if (!FProcess.waitForFinished(10000)) FProcess.kill();
  }

 private:
  QProcess FProcess;
};

class LockedDatabaseTest : public TProgramFixture {
 protected:
  void SetUp() override {
    PlugBoardInto(1);
    MakeDatabase();
    CreateProgram();
    ASSERT_TRUE(Errors.Texts().isEmpty());
    ASSERT_TRUE(CommMod->Uart.Active());
    MainForm->show();
    MainForm->Pages->setCurrentWidget(MainForm->ConfigSheet);
    PumpEvents(10);
  }

  QVariantList ConfigRow() const {
    QVariantList row;
    for (const char* column : {"COMPort", "ViewFlag", "RS485Baud", "CANBaud", "IsExtID", "Pri", "AutoStart",
                               "AutoRpt", "PWMRpt", "MakePos"})
      row << ConfigColumn(QString::fromLatin1(column));
    return row;
  }
};

TEST_F(LockedDatabaseTest, ASettingChangeShowsTheEngineErrorAfterTheBusyTimeOutAndTheProgramRunsOn) {
  const QVariantList before = ConfigRow();
  TLockingProcess locker(Cwd.File(DatabaseFile()));
  // A device error from the board arrives while the change waits.
  const TFrame error = BuildFrame(MakeErrorAnswer(CmdGetBusConfig, DevErrFull));
  Board->Write(error.data(), error.size());

  QElapsedTimer clock;
  clock.start();
  QTest::mouseClick(MainForm->AutoRptCheck, Qt::LeftButton);
  const qint64 waited = clock.elapsed();

  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_TRUE(Errors.Texts().at(0).contains(QLatin1String("database is locked"))) << Errors.Texts().at(0).toStdString();
  EXPECT_GE(waited, 4000) << "the error came before the busy time-out";
  EXPECT_TRUE(MainForm->FConfig.AutoRpt);
  EXPECT_TRUE(MainForm->AutoRptCheck->isChecked()) << "record and control agree";
  EXPECT_EQ(ConfigRow(), before) << "the row is whole and old";
  EXPECT_EQ(SqlValue(QStringLiteral("SELECT COUNT(*) AS V FROM ConfigTable")).toInt(), 1);

  ASSERT_TRUE(WaitUntil([&] { return MainForm->BotPanel->text() == QStringLiteral("Full, overflow error!"); }, 3000))
      << "the frame that came during the wait was not handled";
  EXPECT_TRUE(CommMod->Uart.Active());

  locker.Release();
  Errors.Clear();
  QTest::mouseClick(MainForm->PWMRptCheck, Qt::LeftButton);
  QTest::mouseClick(MainForm->AutoRptCheck, Qt::LeftButton);
  QTest::mouseClick(MainForm->AutoRptCheck, Qt::LeftButton);
  EXPECT_TRUE(Errors.Texts().isEmpty()) << Errors.Texts().join('\n').toStdString();
  EXPECT_EQ(ConfigColumn(QStringLiteral("PWMRpt")).toInt(), 1);
  EXPECT_EQ(ConfigColumn(QStringLiteral("AutoRpt")).toInt(), 1);
  EXPECT_TRUE(MainForm->FConfig.AutoRpt && MainForm->AutoRptCheck->isChecked());
}

}  // namespace
