// The program's six objects, created in a temporary working directory in the
// order of the program entry and destroyed in the reverse order, with a real
// Korvane.mdb that the test shapes through its own database connection. The
// serial ports COM1 to COM8 lead nowhere unless the test links a
// pseudo-terminal (or the virtual board) to one of them, so that no real
// port is ever opened. Every frame handed to the dispatcher is recorded.
// Header-only: include it only from tests that link the main window.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "comm.h"
#include "data.h"
#include "insdlg.h"
#include "mainform.h"
#include "makedlg.h"
#include "nodedlg.h"
#include "program.h"
#include "schema.h"
#include "sqlfile.h"
#include "testsupport.h"
#include "transact.h"

// servo-board-sim on COMn of a working directory, until destroyed.
class TBoardProcess {
 public:
  TBoardProcess(const QString& dir, int n, const QStringList& extra = {}) {
    FProcess.start(QString::fromLocal8Bit(qgetenv("SERVO_BOARD_SIM")),
                   QStringList{"--com", QString::number(n), "--dir", dir} + extra);
    if (!FProcess.waitForReadyRead(5000)) throw std::runtime_error("the virtual board did not start");
  }
  ~TBoardProcess() {
    FProcess.terminate();
    FProcess.waitForFinished(5000);
  }
  TBoardProcess(const TBoardProcess&) = delete;
  TBoardProcess& operator=(const TBoardProcess&) = delete;

 private:
  QProcess FProcess;
};

// Chooses an entry of a drop-down list as the operator does.
inline void Choose(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

class TProgramFixture : public testing::Test {
 protected:
  TTempCwd Cwd;
  TErrorRecorder Errors;
  std::unique_ptr<TPtyPair> Board;
  std::unique_ptr<TBoardProcess> Sim;
  std::vector<TPayloadStu> Dispatched;  // every frame handed to the dispatcher

  TProgramFixture() {
    QDir(Cwd.Path()).mkpath(QStringLiteral("dosdevices"));
    for (int n = 1; n <= 8; ++n) LinkComTo(n, QStringLiteral("/nonexistent/serial-port"));
  }

  // The program goes before the board, as when the operator closes the window.
  ~TProgramFixture() override {
    DestroyProgram();
    Sim.reset();
  }

  static QString DatabaseFile() { return QStringLiteral("Korvane.mdb"); }

  void MakeDatabase() { CreateDatabaseFile(DatabaseFile()); }

  // Runs one statement on the file through a connection of the test's own,
  // closed again at once so that it holds no lock.
  void Sql(const QString& statement) const { TSqlFile(Cwd.File(DatabaseFile())).Exec(statement); }

  // The column named V of the first row of a query on the file.
  QVariant SqlValue(const QString& statement) const { return TSqlFile(Cwd.File(DatabaseFile())).Value(statement); }

  QVariant ConfigColumn(const QString& column) const {
    return SqlValue(QStringLiteral("SELECT %1 AS V FROM ConfigTable").arg(column));
  }

  // Makes InsTable hold the words as rows 0 to n-1, in one transaction.
  void PutProgram(const std::vector<std::uint32_t>& words) const {
    TSqlFile file(Cwd.File(DatabaseFile()));
    file.Exec(QStringLiteral("BEGIN"));
    file.Exec(QStringLiteral("DELETE FROM InsTable"));
    for (std::size_t i = 0; i < words.size(); ++i) {
      const std::uint32_t w = words[i];
      file.Exec(QStringLiteral("INSERT INTO InsTable([Index], InsType, Channel_CountIndex, Addr_InsIndex, "
                               "PWM_Delay_Count) VALUES(%1, %2, %3, %4, %5)")
                    .arg(i)
                    .arg(w & 0xF)
                    .arg((w >> 4) & 0xF)
                    .arg((w >> 8) & 0xFF)
                    .arg(static_cast<std::int16_t>(w >> 16)));
    }
    file.Exec(QStringLiteral("COMMIT"));
  }

  // The words InsTable holds, in Index order.
  std::vector<std::uint32_t> StoredProgram() const {
    const QStringList columns = {"InsType", "Channel_CountIndex", "Addr_InsIndex", "PWM_Delay_Count"};
    std::vector<std::uint32_t> words;
    for (const QVariantList& row :
         TSqlFile(Cwd.File(DatabaseFile())).Rows(QStringLiteral("SELECT * FROM InsTable ORDER BY [Index]"), columns)) {
      words.push_back((row[0].toUInt() & 0xF) | (row[1].toUInt() & 0xF) << 4 | (row[2].toUInt() & 0xFF) << 8 |
                      std::uint32_t(static_cast<std::uint16_t>(row[3].toInt())) << 16);
    }
    return words;
  }

  // The words 0 to FInsCount-1 of the program in memory.
  static std::vector<std::uint32_t> ProgramInMemory() {
    std::vector<std::uint32_t> words;
    for (std::int32_t i = 0; i < MainForm->FInsCount; ++i) words.push_back(MainForm->FInsBuf[i].Word);
    return words;
  }

  // Runs `action`; when it opens the instruction editor, `fill` sets the
  // editor's controls and Ok (or Cancel) closes it. Returns whether the
  // editor was shown.
  static bool AnswerInsDlg(const std::function<void()>& action, const std::function<void(TInsDlg&)>& fill,
                           bool ok = true) {
    bool shown = false;
    QTimer answer;  // goes with this call, also when the action raises
    answer.setSingleShot(true);
    QObject::connect(&answer, &QTimer::timeout, [&] {
      if (!InsDlg->isVisible()) return;
      shown = true;
      fill(*InsDlg);
      (ok ? InsDlg->OkBtn : InsDlg->CancelBtn)->click();
    });
    answer.start(0);
    action();
    // The windowing system gives the focus back to the main window when the
    // editor closes; the offscreen platform needs to be told.
    if (shown && MainForm->isVisible()) {
      MainForm->activateWindow();
      WaitUntil([] { return QApplication::activeWindow() == MainForm; }, 5000);
    }
    return shown;
  }

  void ShowActive() const {
    MainForm->show();
    MainForm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(MainForm));
  }

  QByteArray FileDigest() const {
    QFile file(Cwd.File(DatabaseFile()));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
  }

  void LinkComTo(int n, const QString& target) const {
    UnlinkCom(n);
    if (!QFile::link(target, ComLink(n))) throw std::runtime_error("cannot link the port");
  }

  // Leaves COMn free for a board that makes its own link.
  void UnlinkCom(int n) const { QFile::remove(ComLink(n)); }

  QString ComLink(int n) const { return Cwd.File(QStringLiteral("dosdevices/com%1").arg(n)); }

  // A pseudo-terminal plays the board on COMn.
  void PlugBoardInto(int n) {
    Board = std::make_unique<TPtyPair>();
    Board->HoldSlaveOpen();
    LinkComTo(n, QString::fromStdString(Board->SlavePath()));
  }

  // The virtual board (with its command-line options) on COMn.
  void PlugVirtualBoardInto(int n, const QStringList& options = {}) {
    UnlinkCom(n);
    Sim = std::make_unique<TBoardProcess>(Cwd.Path(), n, options);
  }

  void CreateProgram() {
    CreateProgramObjects();
    if (!CommMod) return;
    CommMod->OnDispatch = [this](const TPayloadStu& p) {
      Dispatched.push_back(p);
      return DispatchPayload(p);
    };
  }

  void DestroyProgram() { DestroyProgramObjects(); }

  QString Status() const { return MainForm->BotPanel->text(); }

  long Statements() const { return DataMod->ADOConnection1.StatementCount(); }

  template <typename T>
  T* Control(const char* name) const {
    T* control = MainForm->findChild<T*>(QString::fromLatin1(name));
    if (!control) throw std::runtime_error(std::string("no control ") + name);
    return control;
  }
};
