#include "mainform.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <qcustomplot.h>
#include <utility>

#include "chartseries.h"
#include "comm.h"
#include "data.h"
#include "errordisplay.h"
#include "gridlines.h"
#include "icons.h"
#include "pixelfont.h"
#include "timebase.h"

TMainForm* MainForm = nullptr;

const std::array<TSeriesMakeStu, SeriesKindCount> SeriesMakeTable = {{
    {"PWM", TSeriesAxis::Left},
    {"Pos", TSeriesAxis::Left},
    {"Current", TSeriesAxis::Left},
    {"Temp", TSeriesAxis::Left},
}};

namespace {

struct TColumnStu {
  int Width;
  Qt::Alignment Alignment;
};

constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment Centre = Qt::AlignCenter;
constexpr Qt::Alignment Right = Qt::AlignRight | Qt::AlignVCenter;

const TColumnStu NodeListColumns[] = {{95, Left},  {50, Centre}, {50, Left}, {50, Right},
                                      {60, Right}, {50, Left},   {50, Left}, {50, Left}};
const TColumnStu InsListColumns[] = {{50, Left}, {80, Left}, {70, Left}, {80, Left}, {90, Left}, {50, Left}};

constexpr int NodeListWidth = 260;
constexpr int RWPanelWidth = 200;
constexpr int TempChartHeight = 250;
constexpr int RunTimerInterval = 300;
constexpr int FirstTickedNodes = 5;
const QColor SplitterColor(0xC0, 0xDC, 0xC0);
// About as many time labels as fit the chart's designed width.
constexpr int WideChartTimeTicks = 4;
constexpr int NarrowChartTimeTicks = 2;

// The tool bar's widgets come in the order of the form; the separators go
// between them.
void InsertSeparatorBefore(QToolBar* toolBar, QWidget* widget) {
  for (QAction* action : toolBar->actions()) {
    if (toolBar->widgetForAction(action) == widget) {
      toolBar->insertSeparator(action);
      return;
    }
  }
}

void SetColumns(QTreeWidget* list, const TColumnStu* columns, int count) {
  for (int i = 0; i < count; ++i) {
    list->header()->resizeSection(i, columns[i].Width);
    list->headerItem()->setTextAlignment(i, columns[i].Alignment);
  }
}

// A splitter keeps the first child at its given size and gives the rest
// (and every later change of the window's size) to the other one.
void SetFirstChildSize(QSplitter* splitter, int first, int total) {
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({first, total - first});
}

void SetLastChildSize(QSplitter* splitter, int last, int total) {
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 0);
  splitter->setSizes({total - last, last});
}

// Splitter handles in money green, painted through the palette: a style
// sheet of their own would cut the splitters' children off from the
// window's font.
void PaintHandles(QSplitter* splitter) {
  for (int i = 1; i < splitter->count(); ++i) {
    QSplitterHandle* handle = splitter->handle(i);
    QPalette palette = handle->palette();
    palette.setColor(QPalette::Window, SplitterColor);
    handle->setPalette(palette);
    handle->setAutoFillBackground(true);
  }
}

void SetupValueAxis(QCPAxis* axis, const QString& title) {
  axis->setLabel(title);
  axis->setVisible(true);
}

// The legend lists the series by name, centred in a row above the plot.
// The fillers beside it keep an empty legend from squeezing the plot to its
// own width. A chart with controls floating over its top gets a free strip
// of `stripHeight` pixels above the legend.
void PlaceLegendOnTop(QCustomPlot* chart, int stripHeight) {
  auto* row = new QCPLayoutGrid;
  chart->plotLayout()->insertRow(0);
  chart->plotLayout()->setRowStretchFactor(0, 0.001);
  chart->plotLayout()->addElement(0, 0, row);
  row->addElement(0, 0, new QCPLayoutElement(chart));
  row->addElement(0, 1, chart->legend);
  row->addElement(0, 2, new QCPLayoutElement(chart));
  row->setColumnStretchFactor(1, 0.001);
  if (stripHeight > 0) {
    auto* strip = new QCPLayoutElement(chart);
    strip->setMinimumSize(0, stripHeight);
    chart->plotLayout()->insertRow(0);
    chart->plotLayout()->setRowStretchFactor(0, 0.001);
    chart->plotLayout()->addElement(0, 0, strip);
  }
  chart->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
  chart->legend->setBorderPen(Qt::NoPen);
  chart->legend->setBrush(Qt::NoBrush);
  chart->legend->setFont(PixelFont(QStringLiteral("Tahoma"), 13));
  chart->legend->setVisible(true);
}

void SetupChart(QCustomPlot* chart, const QString& leftTitle, int timeTicks) {
  QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
  ticker->setDateTimeFormat(QStringLiteral("h:mm:ss"));
  // The keys are local wall-clock seconds, so the labels read them as UTC.
  ticker->setDateTimeSpec(Qt::UTC);
  ticker->setTickCount(timeTicks);
  chart->xAxis->setTicker(ticker);
  // Until the first report, the time axis shows the last 30 seconds.
  const double now = WallClockSeconds(Now());
  chart->xAxis->setRange(now - 30, now + 1);
  chart->xAxis2->setVisible(false);
  chart->yAxis2->setVisible(false);
  SetupValueAxis(chart->yAxis, leftTitle);
  chart->setFocusPolicy(Qt::NoFocus);
  // The series are drawn with 2-pixel pens; the plain stroker makes a
  // redraw of a long series many times slower.
  chart->setPlottingHint(QCP::phFastPolylines, true);
}

}  // namespace

TMainForm::TMainForm(QWidget* owner) : QMainWindow(owner) {
  // The font comes first: controls with style sheets of their own take it
  // from their parent only when they are created.
  SetFormFont(this);
  setupUi(this);
  SetupWindow();
  SetupToolBar();
  SetupLists();
  SetupSplitters();
  SetupCharts();
  SetupChartControl();
  SetupSettings();
  SetupTransferProgress();
  BindToolBar();
  BindLists();
  BindSettings();
  BindRunControl();
  SetupPortWatch();
  BindProgramCheck();
  if (CommMod) connect(CommMod, &TCommMod::PortLost, this, &TMainForm::PortLost);
  FConfig.COMPort.clear();
  FTimeBase = 0.0;
  RunCreationHandler([this] { FormCreate(); });
}

// The lists go with the window's children, after this part of it: their
// models' last signals (the reset while they are emptied) must not reach it.
TMainForm::~TMainForm() {
  InsList->model()->disconnect(this);
  NodeList->model()->disconnect(this);
}

void TMainForm::SetupWindow() {
  // Centred on the desktop when not maximised.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TMainForm::SetupToolBar() {
  ImageList2 = ToolBarIcons();
  const std::pair<QToolButton*, int> pictures[] = {{AddBtn, 0}, {InsertBtn, 1}, {EditBtn, 4}, {DelBtn, 2},
                                                   {ClearBtn, 3}, {UpBtn, 5}, {DownBtn, 6}, {TopBtn, 7},
                                                   {BotBtn, 8}, {MakeBtn, 9}};
  for (const auto& [button, index] : pictures) button->setIcon(ImageList2.at(index));
  InsertSeparatorBefore(ToolBar1, ClearBtn);
  InsertSeparatorBefore(ToolBar1, UpBtn);
  InsertSeparatorBefore(ToolBar1, RunLed);
  InsertSeparatorBefore(ToolBar1, RunLed);
}

void TMainForm::SetupLists() {
  ImageList1 = BusIcons();
  SetColumns(NodeList, NodeListColumns, std::size(NodeListColumns));
  SetColumns(InsList, InsListColumns, std::size(InsListColumns));
  InsList->setItemDelegate(new TGridLineDelegate(InsList));
}

void TMainForm::SetupSplitters() {
  for (QSplitter* splitter : {LSplitter, RWSplitter, RBSplitter}) PaintHandles(splitter);
  SetFirstChildSize(LSplitter, NodeListWidth, width());
  SetLastChildSize(RWSplitter, RWPanelWidth, width() - NodeListWidth);
  SetLastChildSize(RBSplitter, TempChartHeight, height());
}

void TMainForm::SetupCharts() {
  SetupChart(AngleChart, QStringLiteral("PWM/Angle(°)"), WideChartTimeTicks);
  AngleChart->yAxis->setRange(-120, 120);
  SetupValueAxis(AngleChart->yAxis2, QStringLiteral("Temp/Current*20"));
  AngleChart->yAxis2->setRange(-20, 100);
  SetupChart(TempChart, QStringLiteral("Temp(℃)"), NarrowChartTimeTicks);
  TempChart->yAxis->setRange(-20, 100);
  SetupChart(CurrChart, QStringLiteral("Current(A)"), NarrowChartTimeTicks);
  // The view check boxes float over a free strip at the top of the angle chart.
  ViewPanel->adjustSize();
  PlaceLegendOnTop(AngleChart, ViewPanel->geometry().bottom() + 2);
  PlaceLegendOnTop(CurrChart, 0);
  PlaceLegendOnTop(TempChart, 0);
  ViewPanel->raise();
  for (QCustomPlot* chart : {AngleChart, CurrChart, TempChart}) {
    connect(chart, &QCustomPlot::beforeReplot, chart, [chart] { FitLegendColumns(*chart); });
  }
  connect(CurrChart, &QCustomPlot::beforeReplot, this, &TMainForm::SpanCurrentChart);
}

void TMainForm::SetupSettings() {
  PriEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), PriEdit));
  RunTimer.setObjectName(QStringLiteral("RunTimer"));
  RunTimer.setInterval(RunTimerInterval);
}

// Every handler shows its own errors: an error must not unwind through the
// toolkit's code between the signal and the handler.
void TMainForm::BindToolBar() {
  connect(AddBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::AddBtnClick));
  connect(InsertBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::InsertBtnClick));
  connect(EditBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::EditBtnClick));
  connect(DelBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::DelBtnClick));
  connect(ClearBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::ClearBtnClick));
  connect(UpBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::UpBtnClick));
  connect(DownBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::DownBtnClick));
  connect(TopBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::TopBtnClick));
  connect(BotBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::BotBtnClick));
  connect(MakeBtn, &QToolButton::clicked, this, ShowingErrors(this, &TMainForm::MakeBtnClick));
}

void TMainForm::BindLists() {
  connect(NodeList, &QTreeWidget::itemDoubleClicked, this, ShowingErrors(this, &TMainForm::NodeListDblClick));
  connect(InsList, &QTreeWidget::itemDoubleClicked, this, ShowingErrors(this, &TMainForm::InsListDblClick));
  // Only a change of a row's check box counts, not the column texts that
  // reports keep rewriting.
  connect(NodeList->model(), &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& first, const QModelIndex& last, const QList<int>& roles) {
            if (!roles.contains(Qt::CheckStateRole)) return;
            ShowingErrors([&] {
              for (int row = first.row(); row <= last.row(); ++row) NodeListItemChecked(NodeList->topLevelItem(row));
            })();
          });
}

void TMainForm::BindRunControl() {
  connect(LoadBtn, &QPushButton::clicked, this, ShowingErrors(this, &TMainForm::LoadBtnClick));
  connect(ProgramBtn, &QPushButton::clicked, this, ShowingErrors(this, &TMainForm::ProgramBtnClick));
  connect(StartBtn, &QPushButton::clicked, this, ShowingErrors(this, &TMainForm::StartBtnClick));
  connect(StopBtn, &QPushButton::clicked, this, ShowingErrors(this, &TMainForm::StopBtnClick));
  connect(&RunTimer, &QTimer::timeout, this, ShowingErrors(this, &TMainForm::RunTimerTimer));
}

void TMainForm::FormCreate() {
  FRunning = false;
  FPollSeq = 0;
  FPollLeft = 0;
  FTimeBase = Now();
  ClearNodesAndSeries();
  if (Store().ReadConfig(FConfig)) ShowConfig();
  Store().ReadNodes([this](TNodeStu* node) { NodeRowAdd(std::unique_ptr<TNodeStu>(node)); });
  CheckFirstNodes(FirstTickedNodes);
  FInsCount = Store().ReadInsts(FInsBuf.data());
  InsListRebuild();

  OpenPortOrClearSelection(FConfig.COMPort);
  UpdateControls();
}

void TMainForm::ClearNodesAndSeries() {
  NodeList->clear();
  for (QCustomPlot* chart : {AngleChart, CurrChart, TempChart}) chart->clearGraphs();
}

void TMainForm::ShowStatus(const QString& text) { BotPanel->setText(text); }

void TMainForm::ShowDeviceError(int code) { ShowStatus(QString::fromUtf8(DeviceErrorText(code))); }

void TMainForm::UpdateControls() {
  const bool portOpen = CommMod && CommMod->Uart.Active();
  SysBox->setEnabled(!portOpen || !FRunning);
  BusBox->setEnabled(!FRunning);
  for (QPushButton* button : {LoadBtn, ProgramBtn, StartBtn}) button->setEnabled(portOpen && !FRunning);
  StopBtn->setEnabled(portOpen && FRunning);
  if (!FRunning) {
    RunTimer.stop();
  } else if (!RunTimer.isActive()) {
    RunTimer.start();
  }
}

// Enter presses the default button, as in a dialog, unless the control with
// the focus uses the key itself (a focused push button presses itself).
void TMainForm::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (enter && plain) {
    if (StartBtn->isEnabled() && StartBtn->isVisible()) StartBtn->click();
    event->accept();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void TMainForm::RestartTimeBase(std::uint16_t tick) {
  FDevTick = tick;
  FTimeBase = Now();
}

