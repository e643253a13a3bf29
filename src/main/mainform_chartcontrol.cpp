// Chart control: on each chart the mouse wheel zooms the time axis and a
// drag pans it, which pauses the chart (it stops following the newest
// point and shows "Paused"); a double click or "Follow newest" in the
// chart's menu lets it follow again. The menu also shows the whole run and
// saves the chart as a PNG image or its series as CSV.
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include "chartseries.h"
#include "errordisplay.h"
#include "mainform.h"
#include "seriescsv.h"
#include "wholefile.h"

namespace {

const QColor PausedInk(0x80, 0x50, 0x00);
const QColor PausedPaper(0xFF, 0xF0, 0xB0);
constexpr double ShowAllMarginSeconds = 1;

// "Paused" in the top right corner of the plot area, hidden at first.
QCPItemText* MakePausedMark(QCustomPlot* chart) {
  auto* mark = new QCPItemText(chart);
  mark->setText(QStringLiteral("Paused"));
  mark->position->setType(QCPItemPosition::ptAxisRectRatio);
  mark->position->setCoords(0.99, 0.02);
  mark->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
  mark->setColor(PausedInk);
  mark->setBrush(PausedPaper);
  mark->setPen(QPen(PausedInk));
  mark->setPadding(QMargins(4, 2, 4, 2));
  mark->setClipToAxisRect(false);
  mark->setVisible(false);
  return mark;
}

bool InPlotArea(const QCustomPlot* chart, const QPointF& at) {
  return chart->axisRect()->rect().contains(at.toPoint());
}

// The name of a file to write, asked in a save dialog that proposes the
// chart's name in the work directory; empty when the operator cancels.
QString AskFileToWrite(QCustomPlot* chart, const QString& caption, const QString& filter, const QString& suffix) {
  QFileDialog dialog(chart->window(), caption, QDir::currentPath(), filter);
  dialog.setObjectName(QStringLiteral("ChartFileDialog"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setDefaultSuffix(suffix);
  dialog.selectFile(chart->objectName() + QLatin1Char('.') + suffix);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles().value(0);
}

}  // namespace

void TMainForm::SetupChartControl() {
  for (QCustomPlot* chart : {AngleChart, CurrChart, TempChart}) {
    chart->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    chart->axisRect()->setRangeDrag(Qt::Horizontal);
    chart->axisRect()->setRangeZoom(Qt::Horizontal);
    PausedMarks[chart] = MakePausedMark(chart);
    connect(chart, &QCustomPlot::mouseWheel, this, [this, chart](QWheelEvent* event) {
      if (InPlotArea(chart, event->position())) PauseChart(chart);
    });
    connect(chart, &QCustomPlot::mouseMove, this, [this, chart](QMouseEvent* event) {
      if ((event->buttons() & Qt::LeftButton) && InPlotArea(chart, event->position())) PauseChart(chart);
    });
    connect(chart, &QCustomPlot::mouseDoubleClick, this, ShowingErrors([this, chart] { FollowNewest(chart); }));
    SetupChartMenu(chart);
  }
}

void TMainForm::SetupChartMenu(QCustomPlot* chart) {
  auto* menu = new QMenu(chart);
  menu->setObjectName(chart->objectName() + QStringLiteral("Menu"));
  const std::pair<QString, std::function<void()>> entries[] = {
      {QStringLiteral("Follow newest"), [this, chart] { FollowNewest(chart); }},
      {QStringLiteral("Show all"), [this, chart] { ShowWholeRun(chart); }},
      {QStringLiteral("Save image..."), [this, chart] { AskSaveChartImage(chart); }},
      {QStringLiteral("Export CSV..."), [this, chart] { AskExportChartCsv(chart); }},
  };
  for (const auto& [text, handler] : entries)
    connect(menu->addAction(text), &QAction::triggered, this, ShowingErrors(handler));
  chart->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(chart, &QWidget::customContextMenuRequested, menu,
          [chart, menu](const QPoint& at) { menu->popup(chart->mapToGlobal(at)); });
}

bool TMainForm::FollowsNewest(const QCustomPlot* chart) const {
  const auto mark = PausedMarks.find(chart);
  return mark == PausedMarks.end() || !mark->second->visible();
}

void TMainForm::PauseChart(QCustomPlot* chart) {
  if (!FollowsNewest(chart)) return;
  PausedMarks.at(chart)->setVisible(true);
  chart->replot(QCustomPlot::rpQueuedReplot);
}

// The current chart follows by spanning all its points, which its redraw
// does; the others show the 30 seconds up to the newest point at once.
void TMainForm::FollowNewest(QCustomPlot* chart) {
  PausedMarks.at(chart)->setVisible(false);
  QCPRange keys;
  if (chart != CurrChart && ChartKeySpan(*chart, keys)) ShowNewest(chart, keys.upper);
  chart->replot(QCustomPlot::rpQueuedReplot);
}

void TMainForm::ShowWholeRun(QCustomPlot* chart) {
  PauseChart(chart);
  QCPRange keys;
  if (ChartKeySpan(*chart, keys)) chart->xAxis->setRange(Widened(keys, ShowAllMarginSeconds));
  chart->replot(QCustomPlot::rpQueuedReplot);
}

// The image is the chart as it is shown, at its size on the screen.
void TMainForm::SaveChartImage(QCustomPlot* chart, const QString& path) {
  const QPixmap image = chart->toPixmap();
  WriteWholeFile(path, [&image](QIODevice& file) { return image.save(&file, "PNG"); });
}

// Every point of every series of the chart, series by series in the
// chart's order.
void TMainForm::ExportChartCsv(QCustomPlot* chart, const QString& path) {
  SaveSeriesCsv(path, [chart](TSeriesCsvWriter& out) {
    for (int i = 0; i < chart->graphCount(); ++i) {
      const QCPGraph* series = chart->graph(i);
      out.BeginSeries(series->name());
      for (auto point = series->data()->constBegin(); point != series->data()->constEnd(); ++point)
        out.AddPoint(point->key, point->value);
    }
  });
}

void TMainForm::AskSaveChartImage(QCustomPlot* chart) {
  const QString path =
      AskFileToWrite(chart, QStringLiteral("Save image"), QStringLiteral("PNG image (*.png)"), QStringLiteral("png"));
  if (!path.isEmpty()) SaveChartImage(chart, path);
}

void TMainForm::AskExportChartCsv(QCustomPlot* chart) {
  const QString path =
      AskFileToWrite(chart, QStringLiteral("Export CSV"), QStringLiteral("CSV file (*.csv)"), QStringLiteral("csv"));
  if (!path.isEmpty()) ExportChartCsv(chart, path);
}
