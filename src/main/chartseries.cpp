#include "chartseries.h"

#include <algorithm>
#include <array>

namespace {

constexpr int LineWidth = 2;
constexpr int MinimumReserve = 64;

const std::array<QColor, 12> Palette = {{
    QColor(0x1F, 0x77, 0xB4),  // blue
    QColor(0xD6, 0x27, 0x28),  // red
    QColor(0x2C, 0xA0, 0x2C),  // green
    QColor(0xFF, 0x7F, 0x0E),  // orange
    QColor(0x94, 0x67, 0xBD),  // purple
    QColor(0x8C, 0x56, 0x4B),  // brown
    QColor(0xE3, 0x77, 0xC2),  // pink
    QColor(0x17, 0xBE, 0xCF),  // cyan
    QColor(0x7F, 0x7F, 0x7F),  // grey
    QColor(0xBC, 0xBD, 0x22),  // olive
    QColor(0x00, 0x00, 0x80),  // navy
    QColor(0x00, 0x00, 0x00),  // black
}};

}  // namespace

// The graph's point container with a growth of its own: half the size
// again when full, instead of the doubling of a plain append.
class TChartSeries::TPointStore : public QCPGraphDataContainer {
 public:
  void Append(double key, double value) {
    if (mData.size() == mData.capacity()) mData.reserve(std::max<qsizetype>(MinimumReserve, mData.size() * 3 / 2));
    add(QCPGraphData(key, value));
  }
};

TChartSeries::TChartSeries(QCPAxis* keyAxis, QCPAxis* valueAxis, std::uint32_t tag, const QColor& colour)
    : QCPGraph(keyAxis, valueAxis), FTag(tag), FPoints(new TPointStore) {
  setData(FPoints);
  setPen(QPen(colour, LineWidth));
}

void TChartSeries::AddPoint(double key, double value) {
  if (FPoints->isEmpty()) {
    FLowest = FHighest = value;
  } else {
    FLowest = std::min(FLowest, value);
    FHighest = std::max(FHighest, value);
  }
  FPoints->Append(key, value);
}

bool TChartSeries::ValueSpan(QCPRange& span) const {
  if (FPoints->isEmpty()) return false;
  span = QCPRange(FLowest, FHighest);
  return true;
}

bool TChartSeries::KeySpan(QCPRange& span) const {
  if (FPoints->isEmpty()) return false;
  span = QCPRange(FPoints->constBegin()->key, (FPoints->constEnd() - 1)->key);
  return true;
}

QColor NextSeriesColour(const QCustomPlot& chart) {
  std::array<int, Palette.size()> uses{};
  for (int i = 0; i < chart.graphCount(); ++i) {
    const auto entry = std::find(Palette.begin(), Palette.end(), chart.graph(i)->pen().color());
    if (entry != Palette.end()) ++uses[static_cast<std::size_t>(entry - Palette.begin())];
  }
  return Palette[static_cast<std::size_t>(std::min_element(uses.begin(), uses.end()) - uses.begin())];
}

QCPRange Widened(const QCPRange& span, double half) {
  return span.size() > 0 ? span : QCPRange(span.lower - half, span.upper + half);
}

bool ChartKeySpan(const QCustomPlot& chart, QCPRange& span) {
  bool any = false;
  for (int i = 0; i < chart.graphCount(); ++i) {
    const TChartSeries* series = SeriesAt(chart, i);
    QCPRange keys;
    if (!series || !series->KeySpan(keys)) continue;
    if (any) {
      span.expand(keys);
    } else {
      span = keys;
      any = true;
    }
  }
  return any;
}

TChartSeries* SeriesAt(const QCustomPlot& chart, int index) { return dynamic_cast<TChartSeries*>(chart.graph(index)); }

void FitLegendColumns(QCustomPlot& chart) {
  QCPLegend* legend = chart.legend;
  int widest = 0;
  for (int i = 0; i < legend->elementCount(); ++i) {
    if (const QCPLayoutElement* entry = legend->elementAt(i))
      widest = std::max(widest, entry->minimumOuterSizeHint().width());
  }
  if (widest == 0) return;
  const QMargins margins = legend->margins();
  const int room = chart.width() - margins.left() - margins.right() + legend->columnSpacing();
  const int columns = std::max(1, room / (widest + legend->columnSpacing()));
  if (columns == legend->wrap()) return;
  legend->setWrap(columns);
  legend->setFillOrder(legend->fillOrder(), true);
}
