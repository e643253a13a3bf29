// servo-board-sim as a child process on COM1 of a test's working directory,
// for tests that drive it with the program's own objects.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <stdexcept>

class TBoardProcess {
 public:
  explicit TBoardProcess(const QString& dir, const QStringList& extra = {}) {
    FProcess.start(QString::fromLocal8Bit(qgetenv("SERVO_BOARD_SIM")),
                   QStringList{"--com", "1", "--dir", dir} + extra);
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
