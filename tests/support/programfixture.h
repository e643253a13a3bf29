// The program's six objects, created in a temporary working directory in the
// order of the program entry and destroyed in the reverse order, with a real
// Korvane.mdb that the test shapes through its own database connection. The
// serial ports COM1 to COM8 lead nowhere unless the test links a
// pseudo-terminal (or the virtual board) to one of them, so that no real
// port is ever opened. Every frame handed to the dispatcher is recorded.
// Header-only: include it only from tests that link the main window.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>
#include <vector>

#include "boardprocess.h"
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

// The 12 bytes of a frame on the wire.
inline std::vector<std::uint8_t> FrameBytes(const TPayloadStu& payload) {
  const TFrame frame = BuildFrame(payload);
  return {frame.begin(), frame.end()};
}

// What a modal dialog showed while a test's action ran.
struct TDialogVisit {
  bool Shown = false;
  bool Modal = false;  // it was the application's modal window
  QString Caption;
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

  // Runs `action`; when it opens the dialog, `fill` sets the dialog's
  // controls from inside its modal loop and `button` closes it.
  template <typename Dialog>
  static TDialogVisit AnswerDialog(Dialog* dialog, QPushButton* button, const std::function<void()>& action,
                                   const std::function<void(Dialog&)>& fill) {
    TDialogVisit visit;
    QTimer answer;  // goes with this call, also when the action raises
    QObject::connect(&answer, &QTimer::timeout, [&] {
      if (!dialog->isVisible()) return;
      answer.stop();
      visit.Shown = true;
      visit.Modal = QApplication::activeModalWidget() == dialog;
      visit.Caption = dialog->windowTitle();
      if (fill) fill(*dialog);
      button->click();
    });
    answer.start(0);
    action();
    // The windowing system gives the focus back to the main window when the
    // dialog closes; the offscreen platform needs to be told.
    if (visit.Shown && MainForm->isVisible()) {
      MainForm->activateWindow();
      WaitUntil([] { return QApplication::activeWindow() == MainForm; }, 5000);
    }
    return visit;
  }

  // The instruction editor answered with Ok (or Cancel); whether it was shown.
  static bool AnswerInsDlg(const std::function<void()>& action, const std::function<void(TInsDlg&)>& fill,
                           bool ok = true) {
    return AnswerDialog(InsDlg, ok ? InsDlg->OkBtn : InsDlg->CancelBtn, action, fill).Shown;
  }

  // The node editor answered with OK (or Cancel).
  static TDialogVisit AnswerNodeDlg(const std::function<void()>& action, const std::function<void(TNodeDlg&)>& fill,
                                    bool ok = true) {
    return AnswerDialog(NodeDlg, ok ? NodeDlg->OkBtn : NodeDlg->CancelBtn, action, fill);
  }

  // Runs `action`; when it opens a file dialog, the operator types `path`
  // into it and accepts it (or cancels it for an empty path). Whether a file
  // dialog was shown.
  static bool AnswerFileDialog(const std::function<void()>& action, const QString& path) {
    bool shown = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      answer.stop();
      shown = true;
      if (path.isEmpty()) {
        dialog->reject();
        return;
      }
      dialog->selectFile(path);
      QMetaObject::invokeMethod(dialog, "accept");  // as the Save button does
    });
    answer.start(0);
    action();
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

  // A pseudo-terminal plays the board on COMn behind a name of its own that
  // stays the same when the board is plugged in again, as the by-id names of
  // serial adapters do: dosdevices/comN leads to that name, the name to the
  // pseudo-terminal. Plugging in again replaces the board.
  void PlugBoardBehindStableName(int n) {
    Board = std::make_unique<TPtyPair>();
    Board->HoldSlaveOpen();
    QFile::remove(StableBoardName());
    if (!QFile::link(QString::fromStdString(Board->SlavePath()), StableBoardName())) {
      throw std::runtime_error("cannot link the board's name");
    }
    LinkComTo(n, StableBoardName());
  }

  QString StableBoardName() const { return Cwd.File(QStringLiteral("board-by-id")); }

  // The board goes away as an unplugged adapter does: its line hangs up and
  // the link of COMn with it.
  void UnplugBoard(int n) {
    Board->CloseMaster();
    UnlinkCom(n);
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

  // A node stored by an earlier run.
  void SqlNode(const QString& name, int channel, int addr, int angle = 0, int interv = 0) const {
    Sql(QStringLiteral("INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) VALUES('%1', %2, %3, %4, %5)")
            .arg(name)
            .arg(channel)
            .arg(addr)
            .arg(angle)
            .arg(interv));
  }

  // Every node of the table as NodeName, Channel, Addr, Angle, Interv, ID,
  // in the order of their IDs.
  QVector<QVariantList> TableNodes() const {
    return TSqlFile(Cwd.File(DatabaseFile()))
        .Rows(QStringLiteral("SELECT * FROM NodeTable ORDER BY ID"),
              {QStringLiteral("NodeName"), QStringLiteral("Channel"), QStringLiteral("Addr"), QStringLiteral("Angle"),
               QStringLiteral("Interv"), QStringLiteral("ID")});
  }

  // The request frames the program has sent to the pseudo-terminal board,
  // up to `count` of them, waiting at most `timeoutMs` for them.
  std::vector<TPayloadStu> ReadRequests(std::size_t count, int timeoutMs) const {
    const std::vector<std::uint8_t> bytes = Board->Read(count * FrameSize, timeoutMs);
    std::vector<TPayloadStu> requests;
    for (std::size_t at = 0; at + FrameSize <= bytes.size(); at += FrameSize) {
      if (IsValidRequestFrame(&bytes[at])) requests.push_back(PayloadOf(&bytes[at]));
    }
    return requests;
  }

  // Forgets what the program has sent so far. Every request has reached the
  // board side when its send returned, so nothing is left in flight.
  void DrainRequests() const {
    std::uint8_t buffer[4096];
    pollfd p{Board->MasterFd(), POLLIN, 0};
    while (::poll(&p, 1, 0) > 0 && ::read(Board->MasterFd(), buffer, sizeof buffer) > 0) {
    }
  }

  // Runs `action`, which sends one request with the command code and waits
  // for its answer, while the pseudo-terminal board answers that request.
  void AnswerDuring(std::uint8_t code, const TPayloadStu& answer, const std::function<void()>& action) {
    DrainRequests();
    std::thread board([this, code, answer] {
      for (const TPayloadStu& request : ReadRequests(1, 2000)) {
        if (request.Code() == code) Board->Write(FrameBytes(answer));
      }
    });
    action();
    board.join();
  }

  // Start and Stop as the operator clicks them, the pseudo-terminal board
  // answering with its tick.
  void StartRunning(std::uint16_t tick = 0) {
    TPayloadStu answer = MakeAnswer(CmdStart);
    answer.SetU16(2, tick);
    AnswerDuring(CmdStart, answer, [] { MainForm->StartBtnClick(); });
    if (!MainForm->FRunning) throw std::runtime_error("the board did not start");
  }

  void StopRunning(std::uint16_t tick = 0) {
    TPayloadStu answer = MakeAnswer(CmdStop);
    answer.SetU16(2, tick);
    AnswerDuring(CmdStop, answer, [] { MainForm->StopBtnClick(); });
    if (MainForm->FRunning) throw std::runtime_error("the board did not stop");
  }

  // Frames the pseudo-terminal board sends by itself, once the program has
  // taken them in.
  void SendFromBoard(const std::vector<TPayloadStu>& frames) {
    const std::size_t before = Dispatched.size();
    for (const TPayloadStu& frame : frames) Board->Write(FrameBytes(frame));
    if (!WaitUntil([&] { return Dispatched.size() >= before + frames.size(); }, 5000)) {
      throw std::runtime_error("the program did not take the frames in");
    }
  }

  long Statements() const { return DataMod->ADOConnection1.StatementCount(); }

  template <typename T>
  T* Control(const char* name) const {
    T* control = MainForm->findChild<T*>(QString::fromLatin1(name));
    if (!control) throw std::runtime_error(std::string("no control ") + name);
    return control;
  }
};
