// One line series of a chart: a graph that carries its 32-bit tag and keeps
// every point for as long as it lives. Reports come in time order, so a
// point is appended at the end in amortised constant time; its store grows
// by half when full, so a 16-byte point never costs more than 24 bytes.
// Appending draws nothing: the window asks for one queued redraw per burst.
#pragma once

#include <qcustomplot.h>

#include <cstdint>

class TChartSeries : public QCPGraph {
 public:
  // The series goes into the chart of the two axes (which owns it), with
  // the given colour, a 2-pixel line and a legend entry.
  TChartSeries(QCPAxis* keyAxis, QCPAxis* valueAxis, std::uint32_t tag, const QColor& colour);

  std::uint32_t Tag() const { return FTag; }

  void AddPoint(double key, double value);

  // The span of the values held; false (span untouched) while there are none.
  bool ValueSpan(QCPRange& span) const;
  // The span of the keys held; false (span untouched) while there are none.
  bool KeySpan(QCPRange& span) const;

 private:
  class TPointStore;

  std::uint32_t FTag;
  QSharedPointer<TPointStore> FPoints;
  double FLowest = 0;
  double FHighest = 0;
};

// The colour a new series of the chart takes: the entry of a fixed palette
// of clearly distinct colours that the fewest of the chart's series use now,
// the earliest entry on a tie.
QColor NextSeriesColour(const QCustomPlot& chart);

// A span of one key or one value is widened around it: an axis needs a
// range, and its point stays in view.
QCPRange Widened(const QCPRange& span, double half);

// The span of the keys of all the chart's series; false while none has a point.
bool ChartKeySpan(const QCustomPlot& chart, QCPRange& span);

// The series of a chart by position; null for a graph of any other kind.
TChartSeries* SeriesAt(const QCustomPlot& chart, int index);

// Gives the legend as many columns as entries of the widest one fit into
// the chart's width (one at least), so that no title is cut short however
// narrow the chart or long the node names.
void FitLegendColumns(QCustomPlot& chart);
