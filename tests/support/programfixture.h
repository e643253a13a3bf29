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
