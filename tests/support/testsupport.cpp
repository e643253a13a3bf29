#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "errordisplay.h"

TTempCwd::TTempCwd() : FPrevious(QDir::currentPath()) {
  if (!FDir.isValid() || !QDir::setCurrent(FDir.path())) throw std::runtime_error("no temporary directory");
}

TTempCwd::~TTempCwd() { QDir::setCurrent(FPrevious); }

TErrorRecorder::TErrorRecorder() {
  SetErrorSink([this](const QString& text) { FTexts << text; });
}

TErrorRecorder::~TErrorRecorder() { SetErrorSink({}); }

TPtyPair::TPtyPair() {
  int slave = -1;
  char name[256] = {};
  if (openpty(&FMaster, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
  termios t{};
  tcgetattr(slave, &t);
  cfmakeraw(&t);
  tcsetattr(slave, TCSANOW, &t);
  ::close(slave);
  FSlavePath = name;
  fcntl(FMaster, F_SETFL, fcntl(FMaster, F_GETFL) | O_NONBLOCK);
}

TPtyPair::~TPtyPair() {
  if (FHeldSlave >= 0) ::close(FHeldSlave);
  CloseMaster();
}

void TPtyPair::LinkAsCom(const QString& dir, int n) const {
  QDir(dir).mkpath("dosdevices");
  const QString link = QDir(dir).filePath(QString("dosdevices/com%1").arg(n));
  QFile::remove(link);
  if (!QFile::link(QString::fromStdString(FSlavePath), link)) throw std::runtime_error("cannot link");
}

void TPtyPair::Write(const std::vector<std::uint8_t>& bytes) const { Write(bytes.data(), bytes.size()); }

void TPtyPair::Write(const std::uint8_t* bytes, std::size_t count) const {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(FMaster, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else {
      pollfd p{FMaster, POLLOUT, 0};
      if (::poll(&p, 1, 1000) <= 0) throw std::runtime_error("pty write stalled");
    }
  }
}

std::vector<std::uint8_t> TPtyPair::Read(std::size_t want, int timeoutMs) const {
  std::vector<std::uint8_t> got;
  QElapsedTimer clock;
  clock.start();
  while (got.size() < want) {
    const int left = timeoutMs - static_cast<int>(clock.elapsed());
    if (left <= 0) break;
    pollfd p{FMaster, POLLIN, 0};
    if (::poll(&p, 1, left) <= 0) break;
    std::uint8_t buf[4096];
    const ssize_t n = ::read(FMaster, buf, sizeof buf);
    if (n <= 0) break;
    got.insert(got.end(), buf, buf + n);
  }
  return got;
}

void TPtyPair::CloseMaster() {
  if (FMaster >= 0) ::close(FMaster);
  FMaster = -1;
}

void TPtyPair::HoldSlaveOpen() {
  if (FHeldSlave < 0) FHeldSlave = ::open(FSlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

TProcessRun RunProcess(const QString& program, const QStringList& args, const QString& workingDir,
                       const QProcessEnvironment& environment) {
  QProcess process;
  process.setWorkingDirectory(workingDir);
  process.setProcessEnvironment(environment);
  process.start(program, args);
  TProcessRun run;
  if (!process.waitForFinished(120000)) return run;
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.Err = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() >= timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

void PumpEvents(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
}
