// Figures of the chart export in the real main window (offscreen): the time
// "Export CSV..." takes to write a chart that holds 1,000,000 points (four
// series of 250,000), the size of the file, and the time "Save image..."
// takes for the same chart. Run from any directory: it works in a temporary one.
#include <qcustomplot.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "chartseries.h"
#include "mainform.h"
#include "benchsupport.h"
#include "program.h"
#include "schema.h"
#include "timebase.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr int SeriesCount = 4;
constexpr long PointsPerSeries = 250000;
constexpr int Runs = 5;

double SecondsSince(TClock::time_point start) { return std::chrono::duration<double>(TClock::now() - start).count(); }

// Four ticked nodes' Pos series, a point every 10 ms with a varying value.
void FillAngleChart() {
  const double start = WallClockSeconds(Now());
  for (int n = 0; n < SeriesCount; ++n) {
    MainForm->CreateSeries(QStringLiteral("Node%1").arg(n), 1, KindPos, 10 + n);
    TChartSeries* series = MainForm->FindSeries(1, 10 + n, KindPos);
    for (long i = 0; i < PointsPerSeries; ++i) series->AddPoint(start + i * 0.01, (i % 2400 - 1200) * 0.1);
  }
}

template <typename Action>
double MedianSeconds(Action action) {
  std::vector<double> times;
  for (int run = 0; run < Runs; ++run) {
    const TClock::time_point start = TClock::now();
    action();
    times.push_back(SecondsSince(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
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
  FillAngleChart();
  QCoreApplication::processEvents();

  const QString csv = dir.filePath(QStringLiteral("angle.csv"));
  const double exportSeconds = MedianSeconds([&] { MainForm->ExportChartCsv(MainForm->AngleChart, csv); });
  const QString png = dir.filePath(QStringLiteral("angle.png"));
  const double imageSeconds = MedianSeconds([&] { MainForm->SaveChartImage(MainForm->AngleChart, png); });
  std::printf("CSV export of %ld points: %.3f s (median of %d), file %.1f MB\n", SeriesCount * PointsPerSeries,
              exportSeconds, Runs, QFileInfo(csv).size() / 1e6);
  std::printf("PNG image of the same chart (%dx%d): %.3f s (median of %d)\n", MainForm->AngleChart->width(),
              MainForm->AngleChart->height(), imageSeconds, Runs);
  DestroyProgramObjects();
  return 0;
}
