// korvane-db: makes and checks the database file the servo demo keeps its
// configuration, nodes and instruction program in.
//
//   korvane-db init [--demo] [FILE]
//                             create FILE (default ./Korvane.mdb); never overwrites;
//                             --demo adds four sample nodes and their swing program
//   korvane-db check [FILE]   report every table, column or row the program needs and FILE lacks
//   korvane-db --help
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdio>
#include <vector>

#include "data.h"
#include "query.h"
#include "schema.h"
#include "swingplan.h"

namespace {

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

const char* const Usage =
    "Usage: korvane-db init [--demo] [FILE]\n"
    "       korvane-db check [FILE]\n"
    "       korvane-db --help\n"
    "\n"
    "init   creates FILE with the tables ConfigTable, NodeTable and InsTable and one\n"
    "       configuration row with the program's initial settings; an existing file\n"
    "       is never overwritten. With --demo the file also gets four sample\n"
    "       nodes (two on CAN, two on RS485), the swing program made for them, and\n"
    "       the board set to report by itself, PWM values included.\n"
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

// Four nodes with different angles, and the swing program the generator
// makes for them (one swing per node, position reads included). The board
// reports by itself (PWM values too), so the charts move as soon as the
// program runs.
void AddDemoContent(const QString& fileName) {
  const std::vector<TNodeStu> nodes = {MakeNode("Shoulder", 1, 0x01, 30, 600), MakeNode("Elbow", 1, 0x02, 45, 400),
                                       MakeNode("Wrist", 2, 0x05, 20, 500), MakeNode("Gripper", 2, 0x06, 60, 300)};
  TDataMod store(nullptr, fileName);
  store.DataModuleCreate();
  if (!store.UpdateAutoRpt(true) || !store.UpdatePWMRpt(true))
    throw EDatabaseError(QStringLiteral("cannot set the sample settings"));
  for (TNodeStu node : nodes) {
    if (!store.InsertNode(node)) throw EDatabaseError(QStringLiteral("cannot add the sample node ") + node.NodeName);
  }
  const std::vector<TSwingStep> plan = SwingPlan(nodes, DefaultConfig().MakePos);
  std::array<TInsStu, MaxInsCount> words{};
  for (std::size_t i = 0; i < plan.size(); ++i) ApplySwingStep(plan[i], words[i]);
  if (!store.WriteInsts(words.data(), static_cast<std::int32_t>(plan.size())))
    throw EDatabaseError(QStringLiteral("cannot write the sample program"));
}

int Init(const QString& fileName, bool demo) {
  try {
    CreateDatabaseFile(fileName);
  } catch (const EDatabaseError& e) {
    PrintLine(stderr, QStringLiteral("korvane-db: ") + e.Message());
    return ExitFailed;
  }
  if (demo) {
    try {
      AddDemoContent(fileName);
    } catch (const EDatabaseError& e) {
      // A half-filled demo file is no use to anyone.
      QFile::remove(fileName);
      PrintError(fileName, e.Message());
      return ExitFailed;
    }
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
  QStringList args = QCoreApplication::arguments().mid(1);
  if (args.isEmpty()) return UsageError(QStringLiteral("no command given"));
  const QString command = args.takeFirst();
  if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
    std::fputs(Usage, stdout);
    return ExitOk;
  }
  const bool demo = command == QLatin1String("init") && args.removeAll(QStringLiteral("--demo")) > 0;
  if (args.size() > 1) return UsageError(QStringLiteral("too many arguments"));
  const QString fileName = args.isEmpty() ? QStringLiteral("Korvane.mdb") : args.first();
  if (command == QLatin1String("init")) return Init(fileName, demo);
  if (command == QLatin1String("check")) return Check(fileName);
  return UsageError(QStringLiteral("unknown command '%1'").arg(command));
}
