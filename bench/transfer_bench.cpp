// Program and Load of 64 nodes and 256 words through the real window, the
// link module and a pseudo-terminal, against servo-board-sim. Figures: wall
// time, time per transaction and this process's CPU time. A pseudo-terminal
// moves bytes without the line's pace, so the wall time here is the software
// time; a real line adds at least 24 bytes of 10 bits at 512000 baud per
// transaction, which is printed beside it.
//   transfer_bench [ROUNDS]   (SERVO_BOARD_SIM names the simulator; by
//                              default the one of this build tree)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <ctime>

#include "benchsupport.h"
#include "comm.h"
#include "data.h"
#include "errordisplay.h"
#include "mainform.h"
#include "program.h"
#include "schema.h"

namespace {

constexpr int NodeCount = 64;
constexpr double LineMsPerTransaction = 24.0 * 10 * 1000 / 512000;

void FillDatabase() {
  CreateDatabaseFile("Korvane.mdb");
  TDataMod store;
  store.DataModuleCreate();
  for (int i = 0; i < NodeCount; ++i) {
    TNodeStu node;
    node.NodeName = QStringLiteral("n%1").arg(i);
    node.Channel = 1 + i % 2;
    node.Addr = i + 1;
    store.InsertNode(node);
  }
  TInsStu words[MaxInsCount];
  for (int i = 0; i < MaxInsCount; ++i) words[i].Word = 0x00640009u + (std::uint32_t(i) << 24);
  store.WriteInsts(words, MaxInsCount);
}

void Measure(const char* name, int transactions, const std::function<void()>& action) {
  QElapsedTimer wall;
  const double cpu0 = ProcessCpuSeconds();
  wall.start();
  action();
  const double ms = wall.nsecsElapsed() / 1e6;
  const double cpuMs = (ProcessCpuSeconds() - cpu0) * 1000;
  const double lineMs = transactions * LineMsPerTransaction;
  std::printf("%-8s %4d transactions: %7.1f ms wall, %6.3f ms each, CPU %6.1f ms (a real line adds %.0f ms); %s\n",
              name, transactions, ms, ms / transactions, cpuMs, lineMs,
              MainForm->BotPanel->text().isEmpty() ? "done" : qPrintable(MainForm->BotPanel->text()));
}

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  SetErrorSink([](const QString& text) { std::fprintf(stderr, "error: %s\n", qPrintable(text)); });
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  FillDatabase();
  QProcess board;
  board.start(VirtualBoardProgram(), {"--com", "1", "--dir", dir.path()});
  if (!board.waitForReadyRead(5000)) {
    std::fprintf(stderr, "the virtual board did not start\n");
    return 1;
  }
  CreateProgramObjects();
  if (!CommMod->Uart.Active()) {
    std::fprintf(stderr, "the port did not open\n");
    return 1;
  }
  std::printf("Program and Load, %d nodes and %d words, against servo-board-sim on a pseudo-terminal\n", NodeCount,
              MaxInsCount);
  for (int round = 0; round < rounds; ++round) {
    const int nodes = MainForm->NodeList->topLevelItemCount();
    Measure("Program", 3 + nodes + MainForm->FInsCount, [] { MainForm->ProgramBtnClick(); });
    Measure("Load", 3 + NodeCount + MaxInsCount, [] { MainForm->LoadBtnClick(); });
  }
  DestroyProgramObjects();
  board.terminate();
  board.waitForFinished(5000);
  return 0;
}
