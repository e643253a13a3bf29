// Figures of the instruction program at its full size of 256 words, in a
// temporary directory with a real database file:
//  - WriteInsts rewriting a table of 256 rows (what every list operation does);
//  - InsMoveTop on the last of 256 rows in the main window: the rewrite plus
//    emptying and refilling the list (the dearest list operation);
//  - InsListRebuild alone for 256 rows.
// Runs on Qt's offscreen platform unless told otherwise.
#include <QDir>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "data.h"
#include "errordisplay.h"
#include "mainform.h"
#include "program.h"
#include "schema.h"

namespace {

double MedianMs(int rounds, const std::function<void()>& action) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    action();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

void FullProgram(TInsStu* words) {
  for (int i = 0; i < MaxInsCount; ++i) words[i].Word = 0x0001'0011u + (static_cast<std::uint32_t>(i) << 8);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  CreateDatabaseFile(TDataMod::DefaultFileName());
  const int rounds = 50;

  CreateProgramObjects();
  if (!DataMod || !MainForm) return 1;
  FullProgram(MainForm->FInsBuf.data());
  MainForm->FInsCount = MaxInsCount;
  DataMod->WriteInsts(MainForm->FInsBuf.data(), MaxInsCount);
  MainForm->InsListRebuild();

  const double write = MedianMs(rounds, [] { DataMod->WriteInsts(MainForm->FInsBuf.data(), MaxInsCount); });
  const double moveTop = MedianMs(rounds, [] {
    MainForm->InsList->setCurrentItem(MainForm->InsList->topLevelItem(MaxInsCount - 1));
    MainForm->InsMoveTop();
  });
  const double rebuild = MedianMs(rounds, [] {
    MainForm->InsList->clear();
    MainForm->InsListRebuild();
  });
  std::printf("256 words, median of %d rounds:\n", rounds);
  std::printf("  WriteInsts (rewrite of 256 rows)    %8.2f ms\n", write);
  std::printf("  InsMoveTop (rewrite + list refill)  %8.2f ms\n", moveTop);
  std::printf("  InsListRebuild (256 rows)           %8.2f ms\n", rebuild);
  DestroyProgramObjects();
  return 0;
}
