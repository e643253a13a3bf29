// Live reports through the dispatcher into the real window: the node list's
// columns, the three charts, the series that follow the ticks of the rows
// and the view check boxes, and the coalesced redraws.
#include <qcustomplot.h>

#include <QCheckBox>
#include <QTest>
#include <QTreeWidget>

#include "chartseries.h"
#include "noderow.h"
#include "programfixture.h"
#include "timebase.h"

namespace {

using TPoints = std::vector<std::pair<double, double>>;

// Nodes listed as A(0,5) B(1,5) C(1,7) F(1,9) D(2,5) E(2,9); the first five
// are ticked, E is not.
class ReportsTest : public TProgramFixture {
 protected:
  void SetUp() override {
    MakeDatabase();
    const struct {
      const char* Name;
      int Channel, Addr;
    } nodes[] = {{"A", 0, 5}, {"B", 1, 5}, {"C", 1, 7}, {"D", 2, 5}, {"E", 2, 9}, {"F", 1, 9}};
    for (const auto& n : nodes) SqlNode(QString::fromLatin1(n.Name), n.Channel, n.Addr);
    CreateProgram();
    ASSERT_EQ(RowNames(), (QStringList{"A", "B", "C", "F", "D", "E"}));
    QCoreApplication::processEvents();  // the redraws queued at start-up
  }

  static QStringList RowNames() {
    QStringList names;
    for (int i = 0; i < MainForm->NodeList->topLevelItemCount(); ++i)
      names << MainForm->NodeList->topLevelItem(i)->text(0);
    return names;
  }

  static QTreeWidgetItem* RowOf(const char* name) {
    const QList<QTreeWidgetItem*> rows = MainForm->NodeList->findItems(QString::fromLatin1(name), Qt::MatchExactly);
    return rows.value(0);
  }

  // The sub-items of a row: its texts after the caption.
  static QStringList SubItems(const char* name) {
    QStringList texts;
    QTreeWidgetItem* row = RowOf(name);
    for (int c = 1; c < row->columnCount(); ++c) texts << row->text(c);
    return texts;
  }

  static TPoints PointsOf(const TChartSeries* series) {
    TPoints points;
    if (!series) return points;
    for (auto it = series->data()->constBegin(); it != series->data()->constEnd(); ++it)
      points.emplace_back(it->key, it->value);
    return points;
  }

  static TPoints Points(int bus, int addr, int kind) { return PointsOf(MainForm->FindSeries(bus, addr, kind)); }

  static QStringList Titles(const QCustomPlot* chart) {
    QStringList titles;
    for (int i = 0; i < chart->graphCount(); ++i) titles << chart->graph(i)->name();
    return titles;
  }

  // The legend's entries (its grid also counts empty cells).
  static int LegendEntries(const QCustomPlot* chart) {
    int entries = 0;
    for (int i = 0; i < chart->legend->itemCount(); ++i) entries += chart->legend->item(i) != nullptr;
    return entries;
  }

  static double KeyOfNow() { return WallClockSeconds(MainForm->FTimeBase); }

  static void Report(int kindByte, int bus, int addr, int value, std::uint16_t tick = 100) {
    ASSERT_TRUE(DispatchPayload(MakeReport(kindByte, bus, addr, tick, value)));
  }
};

TEST_F(ReportsTest, PositionReportFillsPosAndPlotsTheLastThirtySeconds) {
  Report(ReportKindPos, 1, 5, 1234);
  EXPECT_EQ(SubItems("B"), (QStringList{"05", "CAN", "0", "0", "123.4"}));
  const double t = KeyOfNow();
  EXPECT_EQ(Points(1, 5, KindPos), (TPoints{{t, 123.4}}));
  EXPECT_DOUBLE_EQ(MainForm->AngleChart->xAxis->range().lower, t - 30);
  EXPECT_DOUBLE_EQ(MainForm->AngleChart->xAxis->range().upper, t + 1);
  EXPECT_TRUE(Points(1, 5, KindPWM).empty());
  EXPECT_EQ(MainForm->FPollSeq, 1) << "every report counts for the polling";
  Report(ReportKindPos, 1, 5, -5, 200);
  EXPECT_EQ(RowOf("B")->text(5), QStringLiteral("-0.5"));
  EXPECT_EQ(Points(1, 5, KindPos).size(), 2u);
}

TEST_F(ReportsTest, MeasurementReportFillsTempAndCurrentAndLeavesPosEmpty) {
  Report(0x19, 1, 7, 250);
  EXPECT_EQ(SubItems("C"), (QStringList{"07", "CAN", "0", "0", "", "25", "2.5"}));
  const double t = KeyOfNow();
  EXPECT_EQ(Points(1, 7, KindCurrent), (TPoints{{t, 2.5}}));
  EXPECT_EQ(Points(1, 7, KindTemp), (TPoints{{t, 25}}));
  EXPECT_DOUBLE_EQ(MainForm->TempChart->xAxis->range().lower, t - 30);
  Report(0xEC, 1, 7, -120, 300);  // -20 degrees
  EXPECT_EQ(SubItems("C"), (QStringList{"07", "CAN", "0", "0", "", "-20", "-1.2"}));
  Report(ReportKindPos, 1, 7, 70, 400);
  EXPECT_EQ(SubItems("C"), (QStringList{"07", "CAN", "0", "0", "7", "-20", "-1.2"}));
}

TEST_F(ReportsTest, CurrentChartSpansAllItsPoints) {
  Report(0x19, 1, 7, 250, 1000);
  const double first = KeyOfNow();
  Report(0x19, 1, 5, -100, 61000);
  Report(0x19, 1, 7, 400, 25464);  // 91000 ms: the board's counter wrapped
  const double last = KeyOfNow();
  MainForm->CurrChart->replot();
  EXPECT_NEAR(MainForm->CurrChart->xAxis->range().lower, first, 1e-6);
  EXPECT_NEAR(MainForm->CurrChart->xAxis->range().upper, last, 1e-6);
  EXPECT_NEAR(last - first, 90, 1e-3);
  EXPECT_DOUBLE_EQ(MainForm->CurrChart->yAxis->range().lower, -1.0);
  EXPECT_DOUBLE_EQ(MainForm->CurrChart->yAxis->range().upper, 4.0);
  EXPECT_NEAR(MainForm->TempChart->xAxis->range().lower, last - 30, 1e-6) << "the others show the last 30 seconds";
}

TEST_F(ReportsTest, CurrentChartKeepsASinglePointInView) {
  Report(0x19, 1, 7, 250);
  MainForm->CurrChart->replot();
  const double t = KeyOfNow();
  EXPECT_TRUE(MainForm->CurrChart->xAxis->range().contains(t));
  EXPECT_GT(MainForm->CurrChart->xAxis->range().size(), 0);
  EXPECT_TRUE(MainForm->CurrChart->yAxis->range().contains(2.5));
  EXPECT_GT(MainForm->CurrChart->yAxis->range().size(), 0);
}

TEST_F(ReportsTest, LegendTitlesAreNeverCutShort) {
  MainForm->NodeRowAdd(std::make_unique<TNodeStu>(TNodeStu{0, QStringLiteral("Shoulder"), 1, 40, 0, 0}));
  RowOf("Shoulder")->setCheckState(0, Qt::Checked);
  MainForm->resize(1280, 800);  // the size of a maximised window
  MainForm->show();
  for (QCustomPlot* chart : {MainForm->AngleChart, MainForm->CurrChart, MainForm->TempChart}) {
    SCOPED_TRACE(chart->objectName().toStdString());
    chart->replot();
    for (int i = 0; i < chart->legend->elementCount(); ++i) {
      const QCPLayoutElement* entry = chart->legend->elementAt(i);
      if (!entry) continue;
      EXPECT_GE(entry->outerRect().width(), entry->minimumOuterSizeHint().width());
      EXPECT_LE(entry->outerRect().right(), chart->width());
    }
  }
  EXPECT_EQ(MainForm->TempChart->legend->wrap(), 1) << "a long title takes the narrow chart's whole row";
  EXPECT_GT(MainForm->AngleChart->legend->wrap(), 1);
}

struct TPWMCase {
  const char* Name;
  int Bus, Addr;
  std::vector<std::pair<int, int>> Plotted;  // the nodes whose PWM series get the point
};

class PWMFanOutTest : public ReportsTest, public testing::WithParamInterface<TPWMCase> {};

TEST_P(PWMFanOutTest, GoesToTheSeriesOfTheAddressedNodes) {
  Report(ReportKindPWM, GetParam().Bus, GetParam().Addr, 300);
  const std::pair<int, int> ticked[] = {{0, 5}, {1, 5}, {1, 7}, {1, 9}, {2, 5}};
  for (const auto& node : ticked) {
    const bool plotted =
        std::find(GetParam().Plotted.begin(), GetParam().Plotted.end(), node) != GetParam().Plotted.end();
    const TPoints expected = plotted ? TPoints{{KeyOfNow(), 30.0}} : TPoints{};
    EXPECT_EQ(Points(node.first, node.second, KindPWM), expected) << node.first << "/" << node.second;
  }
  for (QTreeWidgetItem* row : MainForm->NodeList->findItems(QStringLiteral("*"), Qt::MatchWildcard)) {
    EXPECT_EQ(row->columnCount(), 5) << "PWM values are not shown in the list";
  }
}

INSTANTIATE_TEST_SUITE_P(Reports, PWMFanOutTest,
                         testing::Values(TPWMCase{"BothBusesOneAddress", 0, 5, {{1, 5}, {2, 5}}},
                                         TPWMCase{"OneNode", 1, 9, {{1, 9}}},
                                         TPWMCase{"EveryTickedNodeOfBus1", 1, 0, {{1, 5}, {1, 7}, {1, 9}}},
                                         TPWMCase{"EveryTickedNodeOfBus2", 2, 0, {{2, 5}}},
                                         TPWMCase{"EveryTickedNode", 0, 0, {{0, 5}, {1, 5}, {1, 7}, {1, 9}, {2, 5}}},
                                         TPWMCase{"UnknownNode", 1, 99, {}}),
                         [](const testing::TestParamInfo<TPWMCase>& info) { return std::string(info.param.Name); });

TEST_F(ReportsTest, PWMIsPlottedOnlyWhileItsKindIsShown) {
  MainForm->FConfig.ViewFlag = ViewBit(KindPos);
  Report(ReportKindPWM, 1, 5, 300);
  EXPECT_TRUE(Points(1, 5, KindPWM).empty());
}

TEST_F(ReportsTest, ReportForAnUntickedNodeFillsItsColumnsOnly) {
  const int series = MainForm->AngleChart->graphCount();
  Report(ReportKindPos, 2, 9, 11);
  Report(0x14, 2, 9, 5);
  EXPECT_EQ(SubItems("E"), (QStringList{"09", "RS485", "0", "0", "1.1", "20", "0.05"}));
  EXPECT_EQ(MainForm->FindSeries(2, 9, KindPos), nullptr);
  EXPECT_EQ(MainForm->AngleChart->graphCount(), series);
}

TEST_F(ReportsTest, ReportForAnUnknownNodeChangesNothing) {
  Report(ReportKindPos, 1, 0x42, 100);
  Report(0x19, 3, 5, 100);
  for (const char* name : {"A", "B", "C", "D", "E", "F"}) EXPECT_EQ(RowOf(name)->columnCount(), 5) << name;
  for (QCustomPlot* chart : {MainForm->AngleChart, MainForm->CurrChart, MainForm->TempChart}) {
    for (int i = 0; i < chart->graphCount(); ++i) EXPECT_TRUE(chart->graph(i)->data()->isEmpty());
  }
}

TEST_F(ReportsTest, ANodeOnBothBusesHasSeriesTaggedBusZero) {
  EXPECT_NE(MainForm->FindSeries(0, 5, KindPos), nullptr);
  Report(ReportKindPos, 0, 5, 10);
  EXPECT_EQ(Points(0, 5, KindPos).size(), 1u);
  EXPECT_EQ(RowOf("A")->text(5), QStringLiteral("1"));
}

TEST_F(ReportsTest, ViewCheckBoxesRemoveAndRecreateOneKind) {
  MainForm->show();
  Report(ReportKindPos, 1, 5, 100);
  Report(0x19, 1, 5, 100);
  QTest::mouseClick(MainForm->PosCheck, Qt::LeftButton);
  EXPECT_EQ(MainForm->FConfig.ViewFlag, 0xD);
  EXPECT_EQ(Titles(MainForm->AngleChart), (QStringList{"APWM", "BPWM", "CPWM", "FPWM", "DPWM"}));
  EXPECT_EQ(LegendEntries(MainForm->AngleChart), 5);
  EXPECT_EQ(Titles(MainForm->CurrChart).size(), 5);
  EXPECT_EQ(Points(1, 5, KindCurrent).size(), 1u) << "the other kinds keep their points";
  Report(ReportKindPos, 1, 5, 200);
  EXPECT_EQ(RowOf("B")->text(5), QStringLiteral("20")) << "the column is written whatever is shown";
  QTest::mouseClick(MainForm->PosCheck, Qt::LeftButton);
  EXPECT_EQ(MainForm->FConfig.ViewFlag, 0xF);
  EXPECT_EQ(Titles(MainForm->AngleChart),
            (QStringList{"APWM", "BPWM", "CPWM", "FPWM", "DPWM", "APos", "BPos", "CPos", "FPos", "DPos"}));
  EXPECT_TRUE(Points(1, 5, KindPos).empty()) << "a new series starts without points";
  EXPECT_EQ(MainForm->FindSeries(2, 9, KindPos), nullptr) << "unticked rows get none";
}

TEST_F(ReportsTest, UntickingARowRemovesItsFourSeriesTickingCreatesThem) {
  RowOf("C")->setCheckState(0, Qt::Unchecked);
  for (int kind = 0; kind < SeriesKindCount; ++kind) EXPECT_EQ(MainForm->FindSeries(1, 7, kind), nullptr) << kind;
  EXPECT_EQ(MainForm->AngleChart->graphCount(), 8);
  RowOf("E")->setCheckState(0, Qt::Checked);
  EXPECT_EQ(Titles(MainForm->TempChart), (QStringList{"ATemp", "BTemp", "FTemp", "DTemp", "ETemp"}));
  MainForm->FConfig.ViewFlag = ViewBit(KindPWM) | ViewBit(KindTemp);
  RowOf("C")->setCheckState(0, Qt::Checked);
  EXPECT_NE(MainForm->FindSeries(1, 7, KindPWM), nullptr) << "a tick creates the shown kinds only";
  EXPECT_EQ(MainForm->FindSeries(1, 7, KindPos), nullptr);
  EXPECT_EQ(MainForm->FindSeries(1, 7, KindCurrent), nullptr);
  EXPECT_NE(MainForm->FindSeries(1, 7, KindTemp), nullptr);
}

TEST_F(ReportsTest, RowsWithTheSameBusAndAddressShareTheirSeries) {
  MainForm->NodeRowAdd(std::make_unique<TNodeStu>(TNodeStu{0, QStringLiteral("B2"), 1, 5, 0, 0}));
  RowOf("B2")->setCheckState(0, Qt::Checked);
  EXPECT_EQ(MainForm->AngleChart->graphCount(), 12);
  Report(ReportKindPos, 1, 5, 100);
  EXPECT_EQ(PointsOf(static_cast<TChartSeries*>(MainForm->AngleChart->graph(3))).size(), 1u)
      << "the first with the tag";
  EXPECT_EQ(RowOf("B")->text(5), QStringLiteral("10"));
  EXPECT_EQ(RowOf("B2")->columnCount(), 5) << "the first row of the node takes the columns";
  RowOf("B2")->setCheckState(0, Qt::Unchecked);
  for (int kind = 0; kind < SeriesKindCount; ++kind) EXPECT_EQ(MainForm->FindSeries(1, 5, kind), nullptr) << kind;
  EXPECT_EQ(MainForm->AngleChart->graphCount(), 8);
}

TEST_F(ReportsTest, SeriesLookTheirPart) {
  const QCustomPlot* charts[] = {MainForm->AngleChart, MainForm->CurrChart, MainForm->TempChart};
  for (const QCustomPlot* chart : charts) {
    QSet<QRgb> colours;
    for (int i = 0; i < chart->graphCount(); ++i) {
      const QCPGraph* graph = chart->graph(i);
      colours.insert(graph->pen().color().rgb());
      EXPECT_EQ(graph->pen().width(), 2);
      EXPECT_EQ(graph->keyAxis(), chart->xAxis);
      EXPECT_EQ(graph->valueAxis(), chart->yAxis);
      const bool pwm = graph->name().endsWith(QLatin1String("PWM"));
      EXPECT_EQ(graph->lineStyle(), pwm ? QCPGraph::lsStepLeft : QCPGraph::lsLine) << graph->name().toStdString();
      EXPECT_TRUE(chart->legend->hasItemWithPlottable(graph)) << "the legend lists it by its title";
    }
    EXPECT_EQ(LegendEntries(chart), chart->graphCount());
    EXPECT_EQ(colours.size(), chart->graphCount()) << "each series of a chart has a colour of its own";
  }
}

TEST_F(ReportsTest, TheTimeAxisShowsTheLocalTimeOfTheReport) {
  Report(ReportKindPos, 1, 5, 100, 5000);
  auto ticker = MainForm->AngleChart->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>();
  ASSERT_FALSE(ticker.isNull());
  const QDateTime shown = QCPAxisTickerDateTime::keyToDateTime(KeyOfNow()).toTimeSpec(ticker->dateTimeSpec());
  // The wall reading the axis shows is the report's local time (to the
  // millisecond: the two conversions may round a sub-millisecond apart).
  const QDateTime local = QDateTimeFromDateTime(MainForm->FTimeBase);
  EXPECT_EQ(shown.date(), local.date());
  EXPECT_LE(std::abs(shown.time().msecsTo(local.time())), 1)
      << shown.toString(Qt::ISODateWithMs).toStdString() << " " << local.toString(Qt::ISODateWithMs).toStdString();
}

TEST_F(ReportsTest, ABurstOfReportsCostsOneRedrawPerChart) {
  int angle = 0, temp = 0, current = 0;
  QObject::connect(MainForm->AngleChart, &QCustomPlot::afterReplot, [&] { ++angle; });
  QObject::connect(MainForm->TempChart, &QCustomPlot::afterReplot, [&] { ++temp; });
  QObject::connect(MainForm->CurrChart, &QCustomPlot::afterReplot, [&] { ++current; });
  for (int i = 0; i < 200; ++i) {
    Report(ReportKindPos, 1, 5, i, static_cast<std::uint16_t>(i * 10));
    Report(0x19, 1, 7, i, static_cast<std::uint16_t>(i * 10 + 5));
  }
  EXPECT_EQ(angle + temp + current, 0) << "appending draws nothing by itself";
  QCoreApplication::processEvents();
  EXPECT_EQ(angle, 1);
  EXPECT_EQ(temp, 1);
  EXPECT_EQ(current, 1);
  EXPECT_EQ(Points(1, 5, KindPos).size(), 200u);
}

TEST_F(ReportsTest, TimeBaseFollowsTheBoardsClock) {
  struct TCase {
    int WallMsAgo;
    std::uint16_t From, To;
    int AdvancedMs;
  };
  for (const TCase& c : {TCase{1000, 65000, 200, 736}, TCase{70000, 65000, 200, 66272}, TCase{0, 500, 499, 65535}}) {
    const TDateTime base = Now() - c.WallMsAgo / MSecsPerDay;
    MainForm->FTimeBase = base;
    MainForm->FDevTick = c.From;
    MainForm->AdvanceTimeBase(c.To);
    EXPECT_NEAR((MainForm->FTimeBase - base) * MSecsPerDay, c.AdvancedMs, 0.01) << c.WallMsAgo;
    EXPECT_EQ(MainForm->FDevTick, c.To);
  }
}

TEST_F(ReportsTest, AReportTakesTheTimeOfItsTick) {
  MainForm->FDevTick = 1000;
  const TDateTime base = MainForm->FTimeBase;
  Report(ReportKindPos, 1, 5, 100, 1500);
  EXPECT_NEAR((MainForm->FTimeBase - base) * MSecsPerDay, 500, 0.01);
  EXPECT_EQ(MainForm->FDevTick, 1500);
}

}  // namespace
