// Helpers shared by the tests: a temporary working directory, a recorder for
// the error boxes, pseudo-terminal pairs that play the board's side of the
// serial line, running a program to its end, and waiting for a condition
// while Qt events are delivered.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A fresh temporary directory that is the current directory while the object
// lives; the previous directory is restored afterwards.
class TTempCwd {
 public:
  TTempCwd();
  ~TTempCwd();
  TTempCwd(const TTempCwd&) = delete;
  TTempCwd& operator=(const TTempCwd&) = delete;
  QString Path() const { return FDir.path(); }
  QString File(const QString& name) const { return FDir.filePath(name); }

 private:
  QTemporaryDir FDir;
  QString FPrevious;
};

// Collects every text the application-level error display would show.
class TErrorRecorder {
 public:
  TErrorRecorder();
  ~TErrorRecorder();
  const QStringList& Texts() const { return FTexts; }
  void Clear() { FTexts.clear(); }

 private:
  QStringList FTexts;
};

// A pseudo-terminal pair in raw mode. The test holds the master side and
// plays the board; the program opens the slave side by its path.
class TPtyPair {
 public:
  TPtyPair();
  ~TPtyPair();
  TPtyPair(const TPtyPair&) = delete;
  TPtyPair& operator=(const TPtyPair&) = delete;

  int MasterFd() const { return FMaster; }
  const std::string& SlavePath() const { return FSlavePath; }
  // Makes DIR/dosdevices/comN a link to the slave side.
  void LinkAsCom(const QString& dir, int n) const;

  void Write(const std::vector<std::uint8_t>& bytes) const;
  void Write(const std::uint8_t* bytes, std::size_t count) const;
  // Reads what has arrived at the master side within the time limit; stops
  // early once at least `want` bytes are there.
  std::vector<std::uint8_t> Read(std::size_t want, int timeoutMs) const;
  void CloseMaster();
  // Keeps a slave descriptor open so that the master never sees a hang-up
  // while the program has the port closed.
  void HoldSlaveOpen();

 private:
  int FMaster = -1;
  int FHeldSlave = -1;
  std::string FSlavePath;
};

// What a program run to its end left: its exit code (-1 when it crashed or
// did not end within two minutes) and what it wrote.
struct TProcessRun {
  int ExitCode = -1;
  QString Out;
  QString Err;
};

TProcessRun RunProcess(const QString& program, const QStringList& args, const QString& workingDir,
                       const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// Processes Qt events until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);
// Processes Qt events for the given time.
void PumpEvents(int ms);
