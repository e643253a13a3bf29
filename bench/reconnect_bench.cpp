// Reconnecting: what waiting for a lost port costs. The program's six
// objects open COM1 on a pseudo-terminal behind a stable name; the line
// hangs up and its link goes away; for a given time (10 s unless told
// otherwise) the program waits for it, and then the line comes back.
// Figures: the program's CPU time while waiting (user and system), how
// often the watch looked, and how long the port took to be back once the
// line was there again.
//   reconnect_bench [SECONDS]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "benchsupport.h"
#include "comm.h"
#include "errordisplay.h"
#include "mainform.h"
#include "program.h"
#include "schema.h"

namespace {

const QString StableName = QStringLiteral("board-by-id");
const QString ComLink = QStringLiteral("dosdevices/com1");

// A new pseudo-terminal behind the stable name, COM1 leading to that name.
// Returns the master side, -1 when there is none.
int PlugLine() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
  QFile::remove(StableName);
  QFile::remove(ComLink);
  const bool linked = QFile::link(QString::fromLatin1(ptsname(master)), StableName) &&
                      QFile::link(QDir::current().absoluteFilePath(StableName), ComLink);
  if (linked) return master;
  ::close(master);
  return -1;
}

void RunEventsFor(TApplication& app, int ms) {
  QTimer::singleShot(ms, &app, &QApplication::quit);
  app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: reconnect_bench [SECONDS]\n");
    return 2;
  }
  SetErrorSink([](const QString& text) { std::fprintf(stderr, "reconnect: error shown: %s\n", qPrintable(text)); });
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  QDir().mkpath(QStringLiteral("dosdevices"));
  CreateDatabaseFile("Korvane.mdb");
  int master = PlugLine();
  CreateProgramObjects();
  if (master < 0 || !MainForm || !CommMod->Uart.Active()) {
    std::fprintf(stderr, "reconnect: the program did not open COM1\n");
    return 1;
  }

  ::close(master);
  QFile::remove(ComLink);
  QElapsedTimer lost;
  lost.start();
  while (CommMod->Uart.Active() && lost.elapsed() < 5000) RunEventsFor(app, 10);
  if (!MainForm->PortWatch.isActive()) {
    std::fprintf(stderr, "reconnect: the port was not lost or is not watched\n");
    return 1;
  }
  int looks = 0;
  QObject::connect(&MainForm->PortWatch, &QTimer::timeout, [&looks] { ++looks; });
  const double cpuBefore = ProcessCpuSeconds();
  QElapsedTimer waiting;
  waiting.start();
  RunEventsFor(app, seconds * 1000);
  const double wall = waiting.elapsed() / 1000.0;
  const double cpu = ProcessCpuSeconds() - cpuBefore;

  master = PlugLine();
  QElapsedTimer back;
  back.start();
  while (CommMod->Uart.Active() == false && back.elapsed() < 5000) RunEventsFor(app, 10);
  const qint64 backMs = back.elapsed();
  const bool reconnected = CommMod->Uart.Active();
  DestroyProgramObjects();
  ::close(master);

  std::printf("waiting %.1f s for a lost port: CPU %.3f s (%.3f %% of one core), %d looks\n", wall, cpu,
              100.0 * cpu / wall, looks);
  if (!reconnected) {
    std::printf("the port did not come back within 5 s\n");
    return 1;
  }
  std::printf("port back %lld ms after the line was there again\n", static_cast<long long>(backMs));
  return 0;
}
