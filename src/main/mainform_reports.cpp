// Live reports: each report gets the local date-time of the board's tick,
// its value goes into the node's row of the node list and, when the node is
// ticked and the kind is shown, into the node's chart series. The series
// come and go with the ticks of the rows and the view check boxes.
//
// Appending a point never redraws: every chart that took points asks for
// one queued redraw, which runs once the burst of reports is handled (or
// once a transaction that handled reports while it waited has returned).
#include <QTreeWidget>

#include "chartseries.h"
#include "mainform.h"
#include "noderow.h"
#include "pollcycle.h"
#include "reportvalues.h"
#include "timebase.h"

namespace {

enum TReportColumn { PosColumn = 5, TempColumn = 6, CurrentColumn = 7 };

constexpr double WindowBeforeSeconds = 30;
constexpr double WindowAfterSeconds = 1;

bool Shows(std::int32_t viewFlag, int kind) { return (viewFlag & ViewBit(kind)) != 0; }

}  // namespace

void TMainForm::AdvanceTimeBase(std::uint16_t tick) {
  FTimeBase = AdvancedTimeBase(FTimeBase, FDevTick, tick, Now());
  FDevTick = tick;
}

void TMainForm::HandleReport(const TPayloadStu& payload) {
  CountReport(FPollSeq, FPollLeft);
  const TReport report = ReadReport(payload);
  AdvanceTimeBase(report.Tick);
  const TDateTime time = FTimeBase;
  switch (report.Kind) {
    case TReportKind::Position:
      if (Shows(FConfig.ViewFlag, KindPos)) {
        if (TChartSeries* series = FindSeries(report.Bus, report.Addr, KindPos)) {
          AddChartPoint(series, PosPlotValue(report.Value), time);
        }
      }
      ShowPosColumn(report.Bus, report.Addr, report.Value);
      break;
    case TReportKind::PWM:
      PlotPWM(report.Bus, report.Addr, report.Value, time);
      break;
    case TReportKind::Measurement:
      if (Shows(FConfig.ViewFlag, KindCurrent)) {
        if (TChartSeries* series = FindSeries(report.Bus, report.Addr, KindCurrent)) {
          AddChartPoint(series, CurrentPlotValue(report.Value), time);
        }
      }
      if (Shows(FConfig.ViewFlag, KindTemp)) {
        if (TChartSeries* series = FindSeries(report.Bus, report.Addr, KindTemp)) {
          AddChartPoint(series, report.Temperature, time);
        }
      }
      ShowMeasureColumns(report.Bus, report.Addr, report.Temperature, report.Value);
      break;
  }
}

// A PWM report for address 0 goes to every ticked node of the bus (of both
// buses for bus 0); a report for bus 0 and an address goes to the node of
// that address on each bus.
void TMainForm::PlotPWM(int bus, int addr, int value, TDateTime time) {
  if (!Shows(FConfig.ViewFlag, KindPWM)) return;
  const double y = PWMPlotValue(value);
  auto plotTo = [&](int nodeBus, int nodeAddr) {
    if (TChartSeries* series = FindSeries(nodeBus, nodeAddr, KindPWM)) AddChartPoint(series, y, time);
  };
  if (addr != 0) {
    if (bus == 0) {
      plotTo(1, addr);
      plotTo(2, addr);
    } else {
      plotTo(bus, addr);
    }
    return;
  }
  for (int i = 0; i < NodeList->topLevelItemCount(); ++i) {
    const TNodeRow* row = TNodeRow::Of(NodeList->topLevelItem(i));
    if (!row || !row->Node() || !row->IsTicked()) continue;
    if (bus == 0 || row->Node()->Channel == bus) plotTo(row->Node()->Channel, row->Node()->Addr);
  }
}

// A row has Pos, Temp and Current only once reports gave them; a
// measurement report leaves Pos empty when it had none.
void TMainForm::ShowPosColumn(int bus, int addr, int value) {
  TNodeRow* row = FindNodeRow(bus, addr);
  if (!row) return;
  row->setText(PosColumn, PosText(value));
  NoteNodeReport(row, std::nullopt);
}

void TMainForm::ShowMeasureColumns(int bus, int addr, int temperature, int current) {
  TNodeRow* row = FindNodeRow(bus, addr);
  if (!row) return;
  if (row->columnCount() <= PosColumn) row->setText(PosColumn, QString());
  row->setText(TempColumn, TempText(temperature));
  row->setText(CurrentColumn, CurrentText(current));
  NoteNodeReport(row, temperature);
}

QCustomPlot* TMainForm::ChartOfKind(int kind) const {
  switch (kind) {
    case KindPWM:
    case KindPos:
      return AngleChart;
    case KindCurrent:
      return CurrChart;
    case KindTemp:
      return TempChart;
    default:
      return nullptr;
  }
}

// Series of a kind live only in the kind's chart, so that chart alone is
// searched.
TChartSeries* TMainForm::FindSeries(int bus, int addr, int kind) const {
  const QCustomPlot* chart = ChartOfKind(kind);
  if (!chart) return nullptr;
  const std::uint32_t tag = SeriesTag(bus, addr, kind);
  for (int i = 0; i < chart->graphCount(); ++i) {
    TChartSeries* series = SeriesAt(*chart, i);
    if (series && series->Tag() == tag) return series;
  }
  return nullptr;
}

// The angle and temperature charts scroll with the newest point and show
// the last 30 seconds; the current chart spans all its points. A chart the
// operator has paused keeps its time axis.
void TMainForm::AddChartPoint(TChartSeries* series, double value, TDateTime time) {
  const double key = WallClockSeconds(time);
  series->AddPoint(key, value);
  QCustomPlot* chart = series->parentPlot();
  if (chart != CurrChart && FollowsNewest(chart)) ShowNewest(chart, key);
  chart->replot(QCustomPlot::rpQueuedReplot);
}

void TMainForm::ShowNewest(QCustomPlot* chart, double key) {
  chart->xAxis->setRange(key - WindowBeforeSeconds, key + WindowAfterSeconds);
}

// Runs before every redraw of the current chart: its time axis spans the
// points of all its series (unless the operator paused it) and its value
// axis their values.
void TMainForm::SpanCurrentChart() {
  QCPRange keys, values;
  bool any = false;
  for (int i = 0; i < CurrChart->graphCount(); ++i) {
    const TChartSeries* series = SeriesAt(*CurrChart, i);
    QCPRange seriesKeys, seriesValues;
    if (!series || !series->KeySpan(seriesKeys) || !series->ValueSpan(seriesValues)) continue;
    if (any) {
      keys.expand(seriesKeys);
      values.expand(seriesValues);
    } else {
      keys = seriesKeys;
      values = seriesValues;
      any = true;
    }
  }
  if (!any) return;
  if (FollowsNewest(CurrChart)) CurrChart->xAxis->setRange(Widened(keys, WindowAfterSeconds));
  CurrChart->yAxis->setRange(Widened(values, 1));
}

void TMainForm::CreateSeries(const QString& name, int bus, int kind, int addr) {
  QCustomPlot* chart = ChartOfKind(kind);
  if (!chart) return;
  const TSeriesMakeStu& make = SeriesMakeTable[static_cast<std::size_t>(kind)];
  QCPAxis* valueAxis = make.Axis == TSeriesAxis::Left ? chart->yAxis : chart->yAxis2;
  auto* series = new TChartSeries(chart->xAxis, valueAxis, SeriesTag(bus, addr, kind), NextSeriesColour(*chart));
  series->setName(name + QString::fromLatin1(make.Title));
  if (kind == KindPWM) series->setLineStyle(QCPGraph::lsStepLeft);
  chart->replot(QCustomPlot::rpQueuedReplot);
}

void TMainForm::AddNodeSeries(const QString& name, int bus, int addr) {
  for (int kind = 0; kind < SeriesKindCount; ++kind) {
    if (Shows(FConfig.ViewFlag, kind)) CreateSeries(name, bus, kind, addr);
  }
}

// Each chart from its last series to its first.
void TMainForm::RemoveSeriesWhere(const std::function<bool(std::uint32_t tag)>& match) {
  for (QCustomPlot* chart : {AngleChart, CurrChart, TempChart}) {
    bool removed = false;
    for (int i = chart->graphCount() - 1; i >= 0; --i) {
      const TChartSeries* series = SeriesAt(*chart, i);
      if (series && match(series->Tag())) removed = chart->removeGraph(i) || removed;
    }
    if (removed) chart->replot(QCustomPlot::rpQueuedReplot);
  }
}

void TMainForm::RemoveNodeSeries(int bus, int addr) {
  RemoveSeriesWhere([bus, addr](std::uint32_t tag) { return TagIsOfNode(tag, bus, addr); });
}

void TMainForm::RemoveSeries(int bus, int addr, int kind) {
  const std::uint32_t wanted = SeriesTag(bus, addr, kind);
  RemoveSeriesWhere([wanted](std::uint32_t tag) { return tag == wanted; });
}

void TMainForm::NodeListItemChecked(QTreeWidgetItem* item) {
  const TNodeRow* row = TNodeRow::Of(item);
  if (!row || !row->Node()) return;
  const TNodeStu& node = *row->Node();
  if (row->IsTicked()) {
    AddNodeSeries(node.NodeName, node.Channel, node.Addr);
  } else {
    RemoveNodeSeries(node.Channel, node.Addr);
  }
}

// The new flags are in FConfig already; only the kinds that changed are
// touched, for the ticked rows.
void TMainForm::ApplyViewFlags(int oldFlags) {
  const std::int32_t newFlags = FConfig.ViewFlag;
  for (int i = 0; i < NodeList->topLevelItemCount(); ++i) {
    const TNodeRow* row = TNodeRow::Of(NodeList->topLevelItem(i));
    if (!row || !row->Node() || !row->IsTicked()) continue;
    const TNodeStu& node = *row->Node();
    for (int kind = 0; kind < SeriesKindCount; ++kind) {
      const bool now = Shows(newFlags, kind);
      if (now && !Shows(oldFlags, kind)) CreateSeries(node.NodeName, node.Channel, kind, node.Addr);
      if (!now && Shows(oldFlags, kind)) RemoveSeries(node.Channel, node.Addr, kind);
    }
  }
}
