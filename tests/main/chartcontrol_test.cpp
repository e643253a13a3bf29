// Chart control in the real window: zooming and panning pause a chart,
// "Follow newest" (or a double click) lets it follow again, "Show all"
// spans the run, and the chart's menu saves a PNG image and exports its
// series as CSV.
#include <qcustomplot.h>

#include <QImage>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include "chartseries.h"
#include "programfixture.h"
#include "timebase.h"

namespace {

// Nodes A(1,5) and B(1,7), both ticked, all kinds shown.
class ChartControlTest : public TProgramFixture {
 protected:
  void SetUp() override {
    MakeDatabase();
    SqlNode(QStringLiteral("A"), 1, 5);
    SqlNode(QStringLiteral("B"), 1, 7);
    CreateProgram();
    MainForm->resize(1000, 700);
    MainForm->show();
    QCoreApplication::processEvents();
  }

  static double KeyOfNow() { return WallClockSeconds(MainForm->FTimeBase); }

  // A position report `ms` after the previous one; its chart key.
  static double Position(int addr, int value, int ms) {
    const std::uint16_t tick = static_cast<std::uint16_t>(MainForm->FDevTick + ms);
    EXPECT_TRUE(DispatchPayload(MakeReport(ReportKindPos, 1, addr, tick, value)));
    return KeyOfNow();
  }

  static QAction* MenuEntry(QCustomPlot* chart, const char* text) {
    auto* menu = chart->findChild<QMenu*>(chart->objectName() + QStringLiteral("Menu"));
    if (!menu) return nullptr;
    for (QAction* action : menu->actions())
      if (action->text() == QLatin1String(text)) return action;
    return nullptr;
  }

  static QPoint PlotCentre(QCustomPlot* chart) { return chart->axisRect()->rect().center(); }

  static void Wheel(QCustomPlot* chart, int delta) {
    const QPointF at = PlotCentre(chart);
    QWheelEvent event(at, chart->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &event);
  }

  static void Drag(QCustomPlot* chart, int dx) {
    const QPoint from = PlotCentre(chart);
    QTest::mousePress(chart, Qt::LeftButton, Qt::NoModifier, from);
    for (int step = 1; step <= 4; ++step) {
      const QPointF at = from + QPoint(dx * step / 4, 0);
      QMouseEvent move(QEvent::MouseMove, at, chart->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(chart, &move);
    }
    QTest::mouseRelease(chart, Qt::LeftButton, Qt::NoModifier, from + QPoint(dx, 0));
  }

  static bool ShowsPaused(QCustomPlot* chart) {
    for (int i = 0; i < chart->itemCount(); ++i) {
      auto* text = qobject_cast<QCPItemText*>(chart->item(i));
      if (text && text->text() == QLatin1String("Paused")) return text->visible();
    }
    return false;
  }

  QString TempFile(const char* name) const { return Cwd.File(QString::fromLatin1(name)); }
};

TEST_F(ChartControlTest, ZoomAndPanPauseTheChartWhilePointsKeepComing) {
  Position(5, 100, 10);
  const QCPRange following = MainForm->AngleChart->xAxis->range();
  EXPECT_FALSE(ShowsPaused(MainForm->AngleChart));
  Wheel(MainForm->AngleChart, 120);
  EXPECT_TRUE(ShowsPaused(MainForm->AngleChart));
  EXPECT_FALSE(MainForm->FollowsNewest(MainForm->AngleChart));
  const QCPRange zoomed = MainForm->AngleChart->xAxis->range();
  EXPECT_LT(zoomed.size(), following.size()) << "the wheel zooms the time axis in";
  Position(5, 200, 5000);
  EXPECT_EQ(MainForm->AngleChart->xAxis->range(), zoomed) << "a paused chart stays where it is";
  EXPECT_EQ(MainForm->FindSeries(1, 5, KindPos)->data()->size(), 2) << "points are still recorded";

  const QCPRange tempBefore = MainForm->TempChart->xAxis->range();
  Drag(MainForm->TempChart, 80);
  EXPECT_TRUE(ShowsPaused(MainForm->TempChart));
  EXPECT_LT(MainForm->TempChart->xAxis->range().lower, tempBefore.lower) << "dragging right shows earlier times";
  EXPECT_NEAR(MainForm->TempChart->xAxis->range().size(), tempBefore.size(), 1e-6) << "a drag only pans";
  EXPECT_FALSE(ShowsPaused(MainForm->CurrChart)) << "each chart on its own";
}

TEST_F(ChartControlTest, FollowNewestRestoresTheLastThirtySeconds) {
  Position(5, 100, 10);
  Wheel(MainForm->AngleChart, -120);
  MenuEntry(MainForm->AngleChart, "Follow newest")->trigger();
  EXPECT_FALSE(ShowsPaused(MainForm->AngleChart));
  const double t = Position(7, 100, 2000);
  EXPECT_DOUBLE_EQ(MainForm->AngleChart->xAxis->range().lower, t - 30);
  EXPECT_DOUBLE_EQ(MainForm->AngleChart->xAxis->range().upper, t + 1);

  Wheel(MainForm->AngleChart, 120);
  const double later = Position(5, 100, 3000);
  QTest::mouseDClick(MainForm->AngleChart, Qt::LeftButton, Qt::NoModifier, PlotCentre(MainForm->AngleChart));
  EXPECT_FALSE(ShowsPaused(MainForm->AngleChart)) << "a double click follows too";
  EXPECT_DOUBLE_EQ(MainForm->AngleChart->xAxis->range().upper, later + 1) << "at once, up to the newest point";
}

TEST_F(ChartControlTest, ShowAllSpansTheFirstToTheLastPoint) {
  const double first = Position(5, 100, 10);
  Position(7, 100, 40000);
  const double last = Position(5, 100, 60000);
  MenuEntry(MainForm->AngleChart, "Show all")->trigger();
  EXPECT_DOUBLE_EQ(MainForm->AngleChart->xAxis->range().lower, first);
  EXPECT_DOUBLE_EQ(MainForm->AngleChart->xAxis->range().upper, last);
  EXPECT_TRUE(ShowsPaused(MainForm->AngleChart)) << "the whole run stays in view as points come";
  Position(5, 100, 1000);
  EXPECT_DOUBLE_EQ(MainForm->AngleChart->xAxis->range().upper, last);
}

TEST_F(ChartControlTest, ThePausedCurrentChartKeepsItsTimeAxis) {
  ASSERT_TRUE(DispatchPayload(MakeReport(0x19, 1, 5, 100, 250)));
  ASSERT_TRUE(DispatchPayload(MakeReport(0x19, 1, 5, 20100, 250)));
  MainForm->CurrChart->replot();
  Wheel(MainForm->CurrChart, 120);
  const QCPRange zoomed = MainForm->CurrChart->xAxis->range();
  ASSERT_TRUE(DispatchPayload(MakeReport(0x19, 1, 5, 40100, 300)));
  MainForm->CurrChart->replot();
  EXPECT_EQ(MainForm->CurrChart->xAxis->range(), zoomed);
  MenuEntry(MainForm->CurrChart, "Follow newest")->trigger();
  MainForm->CurrChart->replot();
  EXPECT_NEAR(MainForm->CurrChart->xAxis->range().size(), 40, 1e-3) << "back to spanning all its points";
}

// The CSV rows as series title, time text and value.
std::vector<std::tuple<QString, QString, double>> ReadCsv(const QString& path, QString& header) {
  QFile file(path);
  std::vector<std::tuple<QString, QString, double>> rows;
  if (!file.open(QIODevice::ReadOnly)) return rows;
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  header = lines.value(0);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QStringList fields = lines[i].split(QLatin1Char(','));
    rows.emplace_back(fields.value(0), fields.value(1), fields.value(2).toDouble());
  }
  return rows;
}

TEST_F(ChartControlTest, ExportedCsvReadsBackExactly) {
  std::vector<std::tuple<QString, QString, double>> expected;
  auto expect = [&](const char* title, double value) {
    const QString time = QDateTimeFromDateTime(MainForm->FTimeBase).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    expected.emplace_back(QString::fromLatin1(title), time, value);
  };
  Position(5, 1234, 10);
  expect("APos", 123.4);
  Position(7, -5, 1);
  expect("BPos", -0.5);
  Position(5, 1, 65001);
  expect("APos", 0.1);
  ASSERT_TRUE(
      DispatchPayload(MakeReport(ReportKindPWM, 1, 7, static_cast<std::uint16_t>(MainForm->FDevTick + 999), 300)));
  expect("BPWM", 30);
  std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
    const QStringList order = {"APWM", "APos", "BPWM", "BPos"};  // the chart's series order
    return order.indexOf(std::get<0>(a)) < order.indexOf(std::get<0>(b));
  });

  const QString path = TempFile("angle.csv");
  EXPECT_TRUE(AnswerFileDialog([] { MenuEntry(MainForm->AngleChart, "Export CSV...")->trigger(); }, path));
  QString header;
  EXPECT_EQ(ReadCsv(path, header), expected);
  EXPECT_EQ(header, QStringLiteral("Series,Time,Value"));
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

TEST_F(ChartControlTest, AnExportThatCannotBeWrittenShowsTheErrorAndLeavesNoFile) {
  Position(5, 100, 10);
  const QString path = QStringLiteral("/sys/servo-angle.csv");  // refused even to root
  EXPECT_TRUE(AnswerFileDialog([] { MenuEntry(MainForm->AngleChart, "Export CSV...")->trigger(); }, path));
  ASSERT_EQ(Errors.Texts().size(), 1);
  EXPECT_TRUE(Errors.Texts().front().startsWith(QStringLiteral("Cannot write ") + path));
  EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ChartControlTest, CancellingTheDialogWritesNothing) {
  Position(5, 100, 10);
  EXPECT_TRUE(AnswerFileDialog([] { MenuEntry(MainForm->AngleChart, "Export CSV...")->trigger(); }, QString()));
  EXPECT_EQ(QDir(Cwd.Path()).entryList({QStringLiteral("*.csv")}, QDir::Files), QStringList());
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

TEST_F(ChartControlTest, SaveImageWritesAPngOfTheChartsSize) {
  Position(5, 100, 10);
  const QString path = TempFile("temp.png");
  EXPECT_TRUE(AnswerFileDialog([] { MenuEntry(MainForm->TempChart, "Save image...")->trigger(); }, path));
  const QImage image(path, "PNG");
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), MainForm->TempChart->size() * MainForm->TempChart->devicePixelRatio());
  EXPECT_TRUE(Errors.Texts().isEmpty());
}

TEST_F(ChartControlTest, TheMenuOffersItsFourEntriesOnEachChart) {
  for (QCustomPlot* chart : {MainForm->AngleChart, MainForm->CurrChart, MainForm->TempChart}) {
    for (const char* entry : {"Follow newest", "Show all", "Save image...", "Export CSV..."})
      EXPECT_NE(MenuEntry(chart, entry), nullptr) << chart->objectName().toStdString() << " " << entry;
    EXPECT_EQ(chart->contextMenuPolicy(), Qt::CustomContextMenu);
  }
}

}  // namespace
