// Figures of the live reports in the real main window (offscreen):
//  - reports handled per second through the dispatcher (DispatchPayload ->
//    HandleReport) with 64 ticked nodes and every kind shown, first with no
//    points held and then with 1,000,000 points held;
//  - the heap the held points take, per point;
//  - the time to redraw a chart that holds 1,000,000 points, for each chart
//    (the angle and temperature charts show the last 30 seconds, the current
//    chart spans all its points).
// Run from any directory: it works in a temporary one.
#include <malloc.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "comm.h"
#include "mainform.h"
#include "noderow.h"
#include "benchsupport.h"
#include "program.h"
#include "schema.h"
#include "transact.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr int NodeCount = 64;
constexpr int BurstReports = 256;  // one poll cycle
constexpr long HeldPoints = 1000000;
constexpr int MeasuredReports = 12000;
constexpr int Runs = 7;
constexpr int Redraws = 20;

double SecondsSince(TClock::time_point start) { return std::chrono::duration<double>(TClock::now() - start).count(); }

std::size_t HeapInUse() { return mallinfo2().uordblks; }

// Reports of every kind for the 64 nodes in turn, 1 ms apart by the
// board's clock: positions, measurements (two points each) and PWM values.
class TReportStream {
 public:
  TPayloadStu Next() {
    const int node = FCount % NodeCount;
    const int bus = 1 + node % 2;
    const int addr = 1 + node / 2;
    const int value = static_cast<int>(FCount % 600) - 300;
    ++FCount;
    ++FTick;
    switch ((FCount / NodeCount) % 3) {
      case 0:
        return MakeReport(ReportKindPos, bus, addr, FTick, value);
      case 1:
        return MakeReport(25, bus, addr, FTick, value);
      default:
        return MakeReport(ReportKindPWM, bus, addr, FTick, value);
    }
  }

 private:
  long FCount = 0;
  std::uint16_t FTick = 0;
};

long PointsHeld() {
  long points = 0;
  for (QCustomPlot* chart : {MainForm->AngleChart, MainForm->CurrChart, MainForm->TempChart}) {
    for (int i = 0; i < chart->graphCount(); ++i) points += chart->graph(i)->data()->size();
  }
  return points;
}

// Handles `count` reports the way the link module hands them over, with
// the queued redraws of each burst running after it. Returns the seconds
// spent in the dispatcher alone.
double Dispatch(TReportStream& stream, long count, bool redraw) {
  double dispatching = 0;
  for (long done = 0; done < count;) {
    const auto start = TClock::now();
    for (int i = 0; i < BurstReports && done < count; ++i, ++done) DispatchPayload(stream.Next());
    dispatching += SecondsSince(start);
    if (redraw) QCoreApplication::processEvents();
  }
  return dispatching;
}

void ReportRate(const char* what, long reports, double seconds) {
  std::printf("%-62s %9.0f reports/s  (%.2f us per report)\n", what, reports / seconds, seconds * 1e6 / reports);
}

// The machine is shared: each figure is the best of several runs, with the
// median beside it.
struct TRuns {
  std::vector<double> Seconds;
  double Best() const { return *std::min_element(Seconds.begin(), Seconds.end()); }
  double Median() {
    std::sort(Seconds.begin(), Seconds.end());
    return Seconds[Seconds.size() / 2];
  }
};

void ReportRuns(const char* what, TRuns runs) {
  std::printf("%-62s %9.0f reports/s  (best %.2f us, median %.2f us per report, %d runs of %d)\n", what,
              MeasuredReports / runs.Best(), runs.Best() * 1e6 / MeasuredReports, runs.Median() * 1e6 / MeasuredReports,
              Runs, MeasuredReports);
}

// Unticking and ticking every row gives every node new, empty series.
void RenewSeries() {
  for (int i = 0; i < MainForm->NodeList->topLevelItemCount(); ++i) {
    MainForm->NodeList->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
  }
  MainForm->CheckFirstNodes(NodeCount);
}

double RedrawMs(QCustomPlot* chart) {
  chart->replot(QCustomPlot::rpImmediateRefresh);  // warm up the layout and the caches
  const auto start = TClock::now();
  for (int i = 0; i < Redraws; ++i) chart->replot(QCustomPlot::rpImmediateRefresh);
  return SecondsSince(start) * 1e3 / Redraws;
}

long PointsOf(const QCustomPlot* chart) {
  long points = 0;
  for (int i = 0; i < chart->graphCount(); ++i) points += chart->graph(i)->data()->size();
  return points;
}

void PrintRedraws() {
  for (QCustomPlot* chart : {MainForm->AngleChart, MainForm->TempChart, MainForm->CurrChart}) {
    std::printf("redraw of %-10s with %3d series holding %7ld points, %4d x %3d pixels: %6.2f ms\n",
                chart->objectName().toLatin1().constData(), chart->graphCount(), PointsOf(chart), chart->width(),
                chart->height(), RedrawMs(chart));
  }
}

void MeasureThroughputAndMemory() {
  for (int i = 0; i < NodeCount; ++i) {
    auto node = std::make_unique<TNodeStu>();
    node->NodeName = QStringLiteral("N%1").arg(i);
    node->Channel = 1 + i % 2;
    node->Addr = 1 + i / 2;
    MainForm->NodeRowAdd(std::move(node));
  }
  MainForm->CheckFirstNodes(NodeCount);
  std::printf(
      "%d ticked nodes, %d series\n", NodeCount,
      MainForm->AngleChart->graphCount() + MainForm->CurrChart->graphCount() + MainForm->TempChart->graphCount());

  TReportStream stream;
  TRuns empty;
  for (int run = 0; run < Runs; ++run) {
    RenewSeries();
    empty.Seconds.push_back(Dispatch(stream, MeasuredReports, false));
  }
  ReportRuns("dispatch only, starting with 0 points held:", empty);
  RenewSeries();
  const std::size_t heapBefore = HeapInUse();
  const long pointsBefore = PointsHeld();
  long filled = 0;
  while (PointsHeld() < HeldPoints) {
    Dispatch(stream, 10000, false);
    filled += 10000;
  }
  const long points = PointsHeld() - pointsBefore;
  std::printf("heap for %ld more points (%ld reports): %.1f bytes per point\n", points, filled,
              double(HeapInUse() - heapBefore) / double(points));
  TRuns full;
  for (int run = 0; run < Runs; ++run) full.Seconds.push_back(Dispatch(stream, MeasuredReports, false));
  ReportRuns("dispatch only, starting with 1,000,000 points held:", full);
  std::printf("per-report cost with 1,000,000 points held / with 0 points held: %.2f (best runs)\n",
              full.Best() / empty.Best());
  std::printf("points held now: %ld\n", PointsHeld());
  ReportRate("dispatch with one redraw per 256-report burst (dispatch time):", MeasuredReports,
             Dispatch(stream, MeasuredReports, true));
  const auto start = TClock::now();
  Dispatch(stream, MeasuredReports, true);
  ReportRate("dispatch with one redraw per 256-report burst (wall time):", MeasuredReports, SecondsSince(start));
  PrintRedraws();
}

// One ticked node gets 1,000,000 positions and 1,000,000 measurements, so
// each chart holds 1,000,000 points.
void MeasureRedraws() {
  MainForm->NodeList->clear();
  for (QCustomPlot* chart : {MainForm->AngleChart, MainForm->CurrChart, MainForm->TempChart}) chart->clearGraphs();
  auto node = std::make_unique<TNodeStu>();
  node->NodeName = QStringLiteral("Arm");
  node->Channel = 1;
  node->Addr = 1;
  MainForm->NodeRowAdd(std::move(node));
  MainForm->CheckFirstNodes(1);
  MainForm->FConfig.ViewFlag = ViewBit(KindPos) | ViewBit(KindCurrent) | ViewBit(KindTemp);
  std::uint16_t tick = 0;
  for (long i = 0; i < HeldPoints; ++i) {
    const int value = static_cast<int>(i % 600) - 300;
    DispatchPayload(MakeReport(ReportKindPos, 1, 1, ++tick, value));
    DispatchPayload(MakeReport(25 + static_cast<int>(i % 10), 1, 1, ++tick, value));
  }
  QCoreApplication::processEvents();
  PrintRedraws();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  PrepareWorkDirWithoutPort();

  CreateProgramObjects();
  if (!MainForm) return 1;
  MainForm->resize(1280, 800);
  MainForm->show();
  QCoreApplication::processEvents();

  MeasureThroughputAndMemory();
  MeasureRedraws();
  DestroyProgramObjects();
  return 0;
}
