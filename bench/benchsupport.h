// What the benchmarks share: the process's CPU time, the virtual board's
// executable, and a working directory where the program finds a fresh
// database and a COM1 that leads nowhere.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <ctime>

#include "schema.h"

// User and system CPU seconds of this process.
inline double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// SERVO_BOARD_SIM names the virtual board; by default the one of this build tree.
inline QString VirtualBoardProgram() {
  const QByteArray given = qgetenv("SERVO_BOARD_SIM");
  if (!given.isEmpty()) return QString::fromLocal8Bit(given);
  return QCoreApplication::applicationDirPath() + "/../tools/servo-board-sim/servo-board-sim";
}

// A fresh Korvane.mdb in the current directory, and COM1 linked to nowhere so
// that no real port is ever opened.
inline void PrepareWorkDirWithoutPort() {
  CreateDatabaseFile(QStringLiteral("Korvane.mdb"));
  QDir().mkpath(QStringLiteral("dosdevices"));
  QFile::link(QStringLiteral("/nonexistent/serial-port"), QStringLiteral("dosdevices/com1"));
}
