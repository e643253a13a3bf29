// korvane-db: makes and checks the database file the servo demo keeps its
// configuration, nodes and instruction program in.
//
//   korvane-db init [FILE]    create FILE (default ./Korvane.mdb); never overwrites
//   korvane-db check [FILE]   report every table, column or row the program needs and FILE lacks
//   korvane-db --help
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <cstdio>

#include "query.h"
#include "schema.h"

namespace {

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

const char* const Usage =
    "Usage: korvane-db init [FILE]\n"
    "       korvane-db check [FILE]\n"
    "       korvane-db --help\n"
    "\n"
    "init   creates FILE with the tables ConfigTable, NodeTable and InsTable and one\n"
    "       configuration row with the program's initial settings; an existing file\n"
    "       is never overwritten.\n"
    "check  tells whether FILE has every table and column the program uses and\n"
    "       exactly one configuration row; lists what is missing otherwise.\n"
    "FILE defaults to Korvane.mdb in the current directory.\n";

void PrintLine(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  std::fputc('\n', stream);
}

void PrintError(const QString& fileName, const QString& message) {
  PrintLine(stderr, QStringLiteral("korvane-db: %1: %2").arg(fileName, message));
}

int Init(const QString& fileName) {
  try {
    CreateDatabaseFile(fileName);
  } catch (const EDatabaseError& e) {
    PrintLine(stderr, QStringLiteral("korvane-db: ") + e.Message());
    return ExitFailed;
  }
  PrintLine(stdout, QStringLiteral("%1: created").arg(fileName));
  return ExitOk;
}

int Check(const QString& fileName) {
  QStringList problems;
  try {
    problems = CheckDatabaseFile(fileName);
  } catch (const EDatabaseError& e) {
    PrintError(fileName, e.Message());
    return ExitFailed;
  }
  if (problems.isEmpty()) {
    PrintLine(stdout, QStringLiteral("%1: ok").arg(fileName));
    return ExitOk;
  }
  for (const QString& problem : problems) PrintError(fileName, problem);
  return ExitFailed;
}

int UsageError(const QString& message) {
  PrintLine(stderr, QStringLiteral("korvane-db: ") + message);
  std::fputs(Usage, stderr);
  return ExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments().mid(1);
  if (args.isEmpty()) return UsageError(QStringLiteral("no command given"));
  const QString& command = args.first();
  if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
    std::fputs(Usage, stdout);
    return ExitOk;
  }
  if (args.size() > 2) return UsageError(QStringLiteral("too many arguments"));
  const QString fileName = args.size() == 2 ? args[1] : QStringLiteral("Korvane.mdb");
  if (command == QLatin1String("init")) return Init(fileName);
  if (command == QLatin1String("check")) return Check(fileName);
  return UsageError(QStringLiteral("unknown command '%1'").arg(command));
}
