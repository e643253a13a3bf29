#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWidgetAction>
#include <qcustomplot.h>

#include "gridlines.h"
#include "programfixture.h"
#include "shape.h"

namespace {

class MainFormTest : public TProgramFixture {
 protected:
  void SetUp() override {
    MakeDatabase();
    CreateProgram();
  }
};

struct TCaptionCase {
  const char* Name;
  const char* Class;
  const char* Text;
};

QString CaptionOf(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return w->windowTitle();
}

TEST_F(MainFormTest, EveryNamedControlHasItsClassAndCaption) {
  const TCaptionCase cases[] = {
      {"AddBtn", "QToolButton", "Add"},        {"InsertBtn", "QToolButton", "Insert"},
      {"EditBtn", "QToolButton", "Edit"},      {"DelBtn", "QToolButton", "Del"},
      {"ClearBtn", "QToolButton", "Clear"},    {"UpBtn", "QToolButton", "MoveUp"},
      {"DownBtn", "QToolButton", "MoveDown"},  {"TopBtn", "QToolButton", "toTop"},
      {"BotBtn", "QToolButton", "toBottom"},   {"MakeBtn", "QToolButton", "MakeInst"},
      {"PWMCheck", "QCheckBox", "PWM"},        {"PosCheck", "QCheckBox", "Pos"},
      {"CurrentCheck", "QCheckBox", "Current"}, {"TempCheck", "QCheckBox", "Temp"},
      {"SysBox", "QGroupBox", "Connect"},      {"PortLabel", "QLabel", "Serial port:"},
      {"BusBox", "QGroupBox", "Bus config"},   {"RS485BaudLabel", "QLabel", "RS485 baud:"},
      {"CANBaudLabel", "QLabel", "CAN baud:"}, {"IsExtCheck", "QCheckBox", "Ext pri:"},
      {"PriEdit", "QLineEdit", "0"},           {"AutoStartCheck", "QCheckBox", "self starting"},
      {"AutoRptCheck", "QCheckBox", "Sync report"}, {"PWMRptCheck", "QCheckBox", "PWM report"},
      {"DemoLabel", "QLabel", "Demo software V0.8"}, {"BotPanel", "QLabel", ""},
      {"LoadBtn", "QPushButton", "&Load"},     {"ProgramBtn", "QPushButton", "&Program"},
      {"StartBtn", "QPushButton", "&Start"},   {"StopBtn", "QPushButton", "S&top"},
      {"ToolBar1", "QToolBar", "ToolBar1"},    {"RunLed", "TShape", ""},
      {"NodeList", "QTreeWidget", ""},         {"InsList", "QTreeWidget", ""},
      {"Pages", "QTabWidget", ""},             {"WaveSheet", "QWidget", ""},
      {"InsSheet", "QWidget", ""},             {"ConfigSheet", "QWidget", ""},
      {"LSplitter", "QSplitter", ""},          {"RWSplitter", "QSplitter", ""},
      {"RBSplitter", "QSplitter", ""},         {"RWPanel", "QFrame", ""},
      {"ViewPanel", "QFrame", ""},             {"AngleChart", "QCustomPlot", ""},
      {"CurrChart", "QCustomPlot", ""},        {"TempChart", "QCustomPlot", ""},
      {"PortSel", "QComboBox", ""},            {"RS485BaudSel", "QComboBox", ""},
      {"CANBaudSel", "QComboBox", ""},
  };
  for (const TCaptionCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto* w = MainForm->findChild<QWidget*>(QString::fromLatin1(c.Name));
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->inherits(c.Class)) << w->metaObject()->className();
    if (*c.Text) {
      EXPECT_EQ(CaptionOf(w), QString::fromUtf8(c.Text));
    }
  }
  EXPECT_EQ(MainForm->BotPanel->text(), QString()) << "the status line starts empty";
}

TEST_F(MainFormTest, WindowHasItsCaptionSizeAndFont) {
  EXPECT_EQ(MainForm->windowTitle(), QStringLiteral("Communication servo demo"));
  EXPECT_EQ(MainForm->size(), QSize(773, 455));
  EXPECT_EQ(MainForm->font().family(), QStringLiteral("Tahoma"));
  EXPECT_EQ(MainForm->font().pixelSize(), 12);
  for (QWidget* control : std::initializer_list<QWidget*>{MainForm->PriEdit, MainForm->NodeList, MainForm->AddBtn,
                                                          MainForm->PWMCheck, MainForm->InsList, MainForm->TempCheck}) {
    EXPECT_EQ(control->font().pixelSize(), 12) << control->objectName().toStdString();
    EXPECT_EQ(control->font().family(), QStringLiteral("Tahoma")) << control->objectName().toStdString();
  }
}

TEST_F(MainFormTest, ToolBarHoldsItsButtonsSeparatorsAndLampInOrder) {
  QStringList order;
  for (QAction* action : MainForm->ToolBar1->actions()) {
    QWidget* w = MainForm->ToolBar1->widgetForAction(action);
    order << (action->isSeparator() ? QStringLiteral("|") : w ? w->objectName() : QStringLiteral("?"));
  }
  EXPECT_EQ(order.join(QLatin1Char(' ')),
            QStringLiteral("AddBtn InsertBtn EditBtn DelBtn | ClearBtn | UpBtn DownBtn TopBtn BotBtn MakeBtn | | RunLed"));
  EXPECT_FALSE(MainForm->ToolBar1->isMovable());
}

TEST_F(MainFormTest, ToolButtonsShowIconAboveTextAndNeverTakeTheFocus) {
  const auto buttons = MainForm->ToolBar1->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
  int named = 0;
  for (QToolButton* b : buttons) {
    if (!b->objectName().endsWith(QLatin1String("Btn"))) continue;
    SCOPED_TRACE(b->objectName().toStdString());
    ++named;
    EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(b->size(), QSize(68, 45));
    EXPECT_EQ(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_EQ(b->iconSize(), QSize(24, 24));
    EXPECT_FALSE(b->icon().isNull());
  }
  EXPECT_EQ(named, 10);
  ShowActive();
  MainForm->PriEdit->setFocus();
  QTest::mouseClick(MainForm->AddBtn, Qt::LeftButton);
  EXPECT_EQ(QApplication::focusWidget(), MainForm->PriEdit) << "a click on a tool button leaves the focus alone";
}

TEST_F(MainFormTest, ImageListsHoldDistinctPictures) {
  ASSERT_EQ(MainForm->ImageList2.size(), 10);
  ASSERT_EQ(MainForm->ImageList1.size(), 2);
  QSet<QByteArray> seen;
  for (const QVector<QIcon>* list : {&MainForm->ImageList2, &MainForm->ImageList1}) {
    for (const QIcon& icon : *list) {
      const QImage image = icon.pixmap(24, 24).toImage();
      EXPECT_EQ(image.size(), QSize(24, 24));
      seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
  }
  EXPECT_EQ(seen.size(), 12);
}

TEST_F(MainFormTest, RunLampIsASilverCircleWithWhiteOutline) {
  EXPECT_EQ(MainForm->RunLed->size(), QSize(16, 45));
  EXPECT_EQ(MainForm->RunLed->BrushColor(), QColor(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(MainForm->RunLed->PenColor(), QColor(Qt::white));
}

struct TColumnCase {
  const char* Title;
  int Width;
  Qt::Alignment Alignment;
};

TEST_F(MainFormTest, NodeListHasItsEightColumns) {
  const TColumnCase columns[] = {
      {"Name", 95, Qt::AlignLeft | Qt::AlignVCenter},  {"Addr", 50, Qt::AlignCenter},
      {"Bus", 50, Qt::AlignLeft | Qt::AlignVCenter},   {"Angle", 50, Qt::AlignRight | Qt::AlignVCenter},
      {"Interv", 60, Qt::AlignRight | Qt::AlignVCenter}, {"Pos", 50, Qt::AlignLeft | Qt::AlignVCenter},
      {"Temp", 50, Qt::AlignLeft | Qt::AlignVCenter},  {"Current", 50, Qt::AlignLeft | Qt::AlignVCenter},
  };
  QTreeWidget* list = MainForm->NodeList;
  ASSERT_EQ(list->columnCount(), 8);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(columns[i].Title);
    EXPECT_EQ(list->headerItem()->text(i), QString::fromLatin1(columns[i].Title));
    EXPECT_EQ(list->header()->sectionSize(i), columns[i].Width);
    EXPECT_EQ(Qt::Alignment(list->headerItem()->textAlignment(i)), columns[i].Alignment);
  }
  EXPECT_FALSE(list->rootIsDecorated());
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(list->iconSize(), QSize(24, 24));
  EXPECT_FALSE(list->isHeaderHidden());
  EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(MainFormTest, InstructionListHasSixColumnsWithHiddenHeader) {
  const char* titles[] = {"Index", "Action", "Param1", "Param2", "Param3", "Param4"};
  const int widths[] = {50, 80, 70, 80, 90, 50};
  QTreeWidget* list = MainForm->InsList;
  ASSERT_EQ(list->columnCount(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(list->headerItem()->text(i), QString::fromLatin1(titles[i]));
    EXPECT_EQ(list->header()->sectionSize(i), widths[i]);
  }
  EXPECT_TRUE(list->isHeaderHidden());
  EXPECT_NE(qobject_cast<TGridLineDelegate*>(list->itemDelegate()), nullptr) << "grid lines";
  EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(list->rootIsDecorated());
}

TEST_F(MainFormTest, PagesComeInOrderWithTheChartsShown) {
  QTabWidget* pages = MainForm->Pages;
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->widget(0), MainForm->WaveSheet);
  EXPECT_EQ(pages->widget(1), MainForm->InsSheet);
  EXPECT_EQ(pages->widget(2), MainForm->ConfigSheet);
  EXPECT_EQ(pages->tabText(0), QStringLiteral("Moving orbit"));
  EXPECT_EQ(pages->tabText(1), QStringLiteral("Inst list"));
  EXPECT_EQ(pages->tabText(2), QStringLiteral("Sys config"));
  EXPECT_EQ(pages->currentWidget(), MainForm->WaveSheet);
  EXPECT_TRUE(pages->tabBar()->isVisible() || !MainForm->isVisible());
}

TEST_F(MainFormTest, SplittersAreMoneyGreenAndKeepTheirNeighboursOpen) {
  ShowActive();
  for (QSplitter* s : {MainForm->LSplitter, MainForm->RWSplitter, MainForm->RBSplitter}) {
    SCOPED_TRACE(s->objectName().toStdString());
    EXPECT_EQ(s->handleWidth(), 5);
    EXPECT_FALSE(s->childrenCollapsible());
    EXPECT_TRUE(s->opaqueResize());
    EXPECT_EQ(s->handle(1)->palette().color(QPalette::Window), QColor(0xC0, 0xDC, 0xC0));
    EXPECT_TRUE(s->handle(1)->autoFillBackground());
    for (int i = 0; i < s->count(); ++i) {
      const QSize minimum = s->widget(i)->minimumSize();
      EXPECT_EQ(s->orientation() == Qt::Horizontal ? minimum.width() : minimum.height(), 50);
    }
    // Drag the handle to the far edge: the neighbour stays 50 pixels wide.
    QSplitterHandle* handle = s->handle(1);
    const QPoint from = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent drag(QEvent::MouseMove, QPointF(-2000, -2000), handle->mapToGlobal(QPointF(-2000, -2000)),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &drag);
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, QPoint(-2000, -2000));
    EXPECT_EQ(s->sizes().at(0), 50);
  }
}

TEST_F(MainFormTest, RegionsHaveTheirDesignedSizes) {
  ShowActive();
  EXPECT_EQ(MainForm->LSplitter->sizes().at(0), 260);
  EXPECT_EQ(MainForm->RWSplitter->sizes().at(1), 200);
  EXPECT_EQ(MainForm->RBSplitter->sizes().at(1), 250);
  EXPECT_EQ(MainForm->BotPanel->height(), 63);
  // Growing the window gives the room to the pages and to the angle chart.
  MainForm->resize(1200, 700);
  PumpEvents(20);
  EXPECT_EQ(MainForm->LSplitter->sizes().at(0), 260);
  EXPECT_EQ(MainForm->RWSplitter->sizes().at(1), 200);
  EXPECT_EQ(MainForm->RBSplitter->sizes().at(1), 250);
}

TEST_F(MainFormTest, BottomButtonsSitAtTheirEdges) {
  ShowActive();
  for (int width : {773, 1100}) {
    MainForm->resize(width, 455);
    PumpEvents(20);
    const int panel = MainForm->BotPanel->width();
    EXPECT_EQ(MainForm->LoadBtn->geometry().left(), 17);
    EXPECT_EQ(MainForm->ProgramBtn->geometry().left(), 137);
    EXPECT_EQ(panel - MainForm->StartBtn->geometry().right() - 1, 127);
    EXPECT_EQ(panel - MainForm->StopBtn->geometry().right() - 1, 22);
  }
  for (QPushButton* b : {MainForm->LoadBtn, MainForm->ProgramBtn, MainForm->StartBtn, MainForm->StopBtn}) {
    EXPECT_EQ(b->size(), QSize(83, 33));
  }
  EXPECT_TRUE(MainForm->StartBtn->isDefault());
  EXPECT_EQ(MainForm->BotPanel->alignment(), Qt::AlignCenter);
  EXPECT_TRUE(MainForm->BotPanel->styleSheet().contains(QLatin1String("color: red")));
}

TEST_F(MainFormTest, ChartsHaveTheirAxesAndLegendAndNoSeries) {
  struct TAxisCase {
    QCustomPlot* Chart;
    const char* LeftTitle;
    double LeftLow, LeftHigh;  // NaN: automatic
    const char* RightTitle;     // nullptr: hidden
  };
  const double automatic = std::numeric_limits<double>::quiet_NaN();
  const TAxisCase cases[] = {
      {MainForm->AngleChart, "PWM/Angle(°)", -120, 120, "Temp/Current*20"},
      {MainForm->TempChart, "Temp(℃)", -20, 100, nullptr},
      {MainForm->CurrChart, "Current(A)", automatic, automatic, nullptr},
  };
  ShowActive();
  for (const TAxisCase& c : cases) {
    SCOPED_TRACE(c.LeftTitle);
    EXPECT_EQ(c.Chart->graphCount(), 0);
    EXPECT_EQ(c.Chart->yAxis->label(), QString::fromUtf8(c.LeftTitle));
    if (!std::isnan(c.LeftLow)) {
      EXPECT_EQ(c.Chart->yAxis->range(), QCPRange(c.LeftLow, c.LeftHigh));
    }
    EXPECT_EQ(c.Chart->yAxis2->visible(), c.RightTitle != nullptr);
    EXPECT_FALSE(c.Chart->xAxis2->visible());
    EXPECT_TRUE(c.Chart->legend->visible());
    EXPECT_EQ(c.Chart->legend->font().pixelSize(), 13);
    auto ticker = c.Chart->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>();
    ASSERT_FALSE(ticker.isNull());
    EXPECT_EQ(ticker->dateTimeFormat(), QStringLiteral("h:mm:ss"));
    // The legend sits above the plot.
    c.Chart->replot();
    EXPECT_LE(c.Chart->legend->outerRect().bottom(), c.Chart->axisRect()->outerRect().top());
    EXPECT_GT(c.Chart->axisRect()->width(), c.Chart->width() / 3) << "the empty legend must not squeeze the plot";
  }
  EXPECT_EQ(MainForm->AngleChart->yAxis2->label(), QStringLiteral("Temp/Current*20"));
  EXPECT_EQ(MainForm->AngleChart->yAxis2->range(), QCPRange(-20, 100));
}

TEST_F(MainFormTest, ViewCheckBoxesFloatOverTheAngleChart) {
  EXPECT_EQ(MainForm->ViewPanel->parentWidget(), MainForm->AngleChart);
  EXPECT_EQ(MainForm->ViewPanel->pos(), QPoint(100, 4));
  const QCheckBox* checks[] = {MainForm->PWMCheck, MainForm->PosCheck, MainForm->CurrentCheck, MainForm->TempCheck};
  for (int tag = 0; tag < 4; ++tag) {
    EXPECT_EQ(checks[tag]->parentWidget(), MainForm->ViewPanel);
    EXPECT_EQ(checks[tag]->property("tag").toInt(), tag);
    EXPECT_TRUE(checks[tag]->isChecked());
  }
  ShowActive();
  MainForm->AngleChart->replot();
  EXPECT_LE(MainForm->ViewPanel->geometry().bottom(), MainForm->AngleChart->axisRect()->outerRect().top())
      << "the boxes do not cover the plot";
}

TEST_F(MainFormTest, SettingsControlsHaveTheirItemsAndRanges) {
  struct TComboCase {
    QComboBox* Combo;
    QStringList Items;
  };
  const TComboCase combos[] = {
      {MainForm->PortSel, {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}},
      {MainForm->RS485BaudSel, {"9600", "19200", "38400", "57600", "115200", "256k", "512k", "921.6k"}},
      {MainForm->CANBaudSel, {"20k", "50k", "100k", "125k", "250k", "500k", "800k", "1M"}},
  };
  for (const TComboCase& c : combos) {
    SCOPED_TRACE(c.Combo->objectName().toStdString());
    QStringList items;
    for (int i = 0; i < c.Combo->count(); ++i) items << c.Combo->itemText(i);
    EXPECT_EQ(items, c.Items);
    EXPECT_FALSE(c.Combo->isEditable());
  }
  EXPECT_EQ(MainForm->RS485BaudSel->currentIndex(), 4);
  EXPECT_EQ(MainForm->CANBaudSel->currentIndex(), 4);
  EXPECT_EQ(MainForm->PriEdit->maxLength(), 3);
  const QValidator* digits = MainForm->PriEdit->validator();
  ASSERT_NE(digits, nullptr);
  struct TTextCase {
    QString Text;
    QValidator::State State;
  };
  for (const TTextCase& t : {TTextCase{"", QValidator::Acceptable}, TTextCase{"7", QValidator::Acceptable},
                             TTextCase{"999", QValidator::Acceptable}, TTextCase{"1234", QValidator::Invalid},
                             TTextCase{"a", QValidator::Invalid}, TTextCase{"-1", QValidator::Invalid}}) {
    QString text = t.Text;
    int pos = 0;
    EXPECT_EQ(digits->validate(text, pos), t.State) << t.Text.toStdString();
  }
  QTest::keyClicks(MainForm->PriEdit, QStringLiteral("x12345"));
  EXPECT_EQ(MainForm->PriEdit->text(), QStringLiteral("012")) << "digits only, three at most";
  EXPECT_EQ(MainForm->PortLabel->buddy(), MainForm->PortSel);
  EXPECT_TRUE(MainForm->DemoLabel->styleSheet().contains(QLatin1String("color: blue")));
  EXPECT_EQ(MainForm->DemoLabel->alignment(), Qt::AlignRight | Qt::AlignBottom);
}

TEST_F(MainFormTest, RunTimerIsStoppedAtThreeHundredMilliseconds) {
  EXPECT_EQ(MainForm->RunTimer.objectName(), QStringLiteral("RunTimer"));
  EXPECT_EQ(MainForm->RunTimer.interval(), 300);
  EXPECT_FALSE(MainForm->RunTimer.isActive());
}

TEST_F(MainFormTest, TabOrderFollowsThePages) {
  const QStringList expected = {"NodeList",     "Pages",      "PWMCheck",       "PosCheck",     "CurrentCheck",
                                "TempCheck",    "InsList",    "PortSel",        "RS485BaudSel", "CANBaudSel",
                                "IsExtCheck",   "PriEdit",    "AutoStartCheck", "AutoRptCheck", "PWMRptCheck",
                                "LoadBtn",      "ProgramBtn", "StartBtn",       "StopBtn"};
  QStringList chain;
  QWidget* w = MainForm->NodeList;
  do {
    if (expected.contains(w->objectName()) && !chain.contains(w->objectName())) chain << w->objectName();
    w = w->nextInFocusChain();
  } while (w != MainForm->NodeList);
  EXPECT_EQ(chain, expected);
}

class MainFormWithBoardTest : public MainFormTest {
 protected:
  void SetUp() override {
    MakeDatabase();
    PlugBoardInto(1);
    CreateProgram();
    ASSERT_TRUE(CommMod->Uart.Active());
    ShowActive();
  }
};

TEST_F(MainFormWithBoardTest, EnterPressesStartFromAnyControlButAButton) {
  QSignalSpy start(MainForm->StartBtn, &QPushButton::clicked);
  for (QWidget* focus : std::initializer_list<QWidget*>{MainForm->PriEdit, MainForm->NodeList, MainForm->PortSel,
                                                         MainForm->AutoRptCheck, MainForm->Pages}) {
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_Return);
  }
  QTest::keyClick(MainForm->PriEdit, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(start.count(), 6);
  QSignalSpy load(MainForm->LoadBtn, &QPushButton::clicked);
  MainForm->LoadBtn->setFocus();
  QTest::keyClick(MainForm->LoadBtn, Qt::Key_Return);
  EXPECT_EQ(load.count(), 1) << "a focused button presses itself";
  EXPECT_EQ(start.count(), 6);
}

TEST_F(MainFormWithBoardTest, EnterDoesNothingWhileStartIsDisabled) {
  StartRunning();
  QSignalSpy start(MainForm->StartBtn, &QPushButton::clicked);
  QTest::keyClick(MainForm->PriEdit, Qt::Key_Return);
  EXPECT_EQ(start.count(), 0);
  StopRunning();
}

TEST_F(MainFormWithBoardTest, AcceleratorsPressTheirButtons) {
  MainForm->PriEdit->setFocus();
  struct TKeyCase {
    Qt::Key Key;
    QPushButton* Button;
  };
  const TKeyCase stopped[] = {{Qt::Key_L, MainForm->LoadBtn}, {Qt::Key_P, MainForm->ProgramBtn},
                              {Qt::Key_S, MainForm->StartBtn}};
  for (const TKeyCase& c : stopped) {
    QSignalSpy spy(c.Button, &QPushButton::clicked);
    QTest::keyClick(MainForm, c.Key, Qt::AltModifier);
    // An accelerator presses the button visibly: the click comes a moment later.
    EXPECT_TRUE(WaitUntil([&] { return spy.count() == 1; }, 2000)) << c.Button->objectName().toStdString();
  }
  StartRunning();
  QSignalSpy stop(MainForm->StopBtn, &QPushButton::clicked);
  QTest::keyClick(MainForm, Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return stop.count() == 1; }, 2000));
  StopRunning();
}

struct TControlsCase {
  bool PortOpen;
  bool Running;
  bool SysBox, BusBox, LoadProgramStart, Stop, Timer;
};

// The running states are reached through Start; the closed port while
// running through losing the port after Start.
class UpdateControlsTest : public MainFormTest, public testing::WithParamInterface<TControlsCase> {
 protected:
  void SetUp() override {
    MakeDatabase();
    if (GetParam().PortOpen || GetParam().Running) PlugBoardInto(1);
    CreateProgram();
    if (GetParam().Running) StartRunning();
    if (!GetParam().PortOpen && CommMod->Uart.Active()) {
      CommMod->Uart.SetActive(false);
      emit CommMod->PortLost();
    }
  }

  void Stop() {
    if (!MainForm->FRunning) return;
    if (!CommMod->Uart.Active()) {
      ASSERT_TRUE(CommMod->OpenPort(QStringLiteral("COM1")));
    }
    StopRunning();
  }
};

TEST_P(UpdateControlsTest, EnablesByPortAndRunState) {
  const TControlsCase& c = GetParam();
  ASSERT_EQ(CommMod->Uart.Active(), c.PortOpen);
  ASSERT_EQ(MainForm->FRunning, c.Running);
  EXPECT_EQ(MainForm->SysBox->isEnabled(), c.SysBox);
  EXPECT_EQ(MainForm->BusBox->isEnabled(), c.BusBox);
  EXPECT_EQ(MainForm->LoadBtn->isEnabled(), c.LoadProgramStart);
  EXPECT_EQ(MainForm->ProgramBtn->isEnabled(), c.LoadProgramStart);
  EXPECT_EQ(MainForm->StartBtn->isEnabled(), c.LoadProgramStart);
  EXPECT_EQ(MainForm->StopBtn->isEnabled(), c.Stop);
  EXPECT_EQ(MainForm->RunTimer.isActive(), c.Timer);
  Stop();
  EXPECT_FALSE(MainForm->RunTimer.isActive());
}

INSTANTIATE_TEST_SUITE_P(States, UpdateControlsTest,
                         testing::Values(TControlsCase{false, false, true, true, false, false, false},
                                         TControlsCase{false, true, true, false, false, false, true},
                                         TControlsCase{true, false, true, true, true, false, false},
                                         TControlsCase{true, true, false, false, false, true, true}));

TEST_F(MainFormWithBoardTest, RunTimerKeepsTicking) {
  StartRunning();
  const int before = MainForm->RunTimer.remainingTime();
  PumpEvents(50);
  MainForm->UpdateControls();  // a second refresh while running does not restart the timer
  EXPECT_LT(MainForm->RunTimer.remainingTime(), before);
  StopRunning();
}

TEST_F(MainFormTest, StatusLineShowsTextsAndDeviceErrors) {
  MainForm->ShowStatus(QStringLiteral("Wait response..."));
  EXPECT_EQ(MainForm->BotPanel->text(), QStringLiteral("Wait response..."));
  for (int code : {1, 2, 3, 4, 5, 6, 7, -1, 100}) {
    MainForm->ShowDeviceError(code);
    EXPECT_EQ(MainForm->BotPanel->text(), QString::fromUtf8(DeviceErrorText(code))) << code;
  }
  MainForm->ShowDeviceError(0);
  EXPECT_EQ(MainForm->BotPanel->text(), QString());
}

TEST_F(MainFormWithBoardTest, LosingThePortClearsTheSelectionAndSaysSo) {
  ASSERT_EQ(MainForm->PortSel->currentText(), QStringLiteral("COM1"));
  ASSERT_TRUE(MainForm->StartBtn->isEnabled());
  const long before = Statements();
  CommMod->Uart.SetActive(false);
  emit CommMod->PortLost();
  EXPECT_EQ(MainForm->PortSel->currentIndex(), -1);
  EXPECT_EQ(MainForm->BotPanel->text(), QStringLiteral("Port lost"));
  EXPECT_FALSE(MainForm->StartBtn->isEnabled());
  EXPECT_TRUE(MainForm->SysBox->isEnabled());
  EXPECT_EQ(Statements(), before) << "nothing is written";
  EXPECT_EQ(ConfigColumn(QStringLiteral("COMPort")).toString(), QStringLiteral("COM1"));
}

TEST_F(MainFormTest, KindTableNamesTheFourKindsOnTheLeftAxis) {
  const char* titles[] = {"PWM", "Pos", "Current", "Temp"};
  for (int k = 0; k < SeriesKindCount; ++k) {
    EXPECT_STREQ(SeriesMakeTable[k].Title, titles[k]);
    EXPECT_EQ(SeriesMakeTable[k].Axis, TSeriesAxis::Left);
  }
}

}  // namespace
