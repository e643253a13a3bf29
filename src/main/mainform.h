// The main window: tool bar, node list, the pages "Moving orbit", "Inst
// list" and "Sys config", the status line and the run buttons. It holds the
// program buffer, the configuration record and the run state; others change
// them through its operations.
#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QTimer>
#include <QVector>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "datetime.h"
#include "frame.h"
#include "insword.h"
#include "records.h"
#include "seriestag.h"
#include "transfer.h"
#include "ui_mainform.h"

class QCheckBox;
class QCPItemText;
class QTreeWidgetItem;
class TChartSeries;
class TDataMod;
class QLabel;
class TInsDlg;
class TMakeDlg;
class TNodeDlg;
class TNodeRow;

// Milliseconds of a clock that never goes back: the ages of node reports.
std::int64_t MonotonicMs();

enum class TSeriesAxis { Left, Right };

// One kind of chart series: its title suffix and its vertical axis.
struct TSeriesMakeStu {
  const char* Title;
  TSeriesAxis Axis;
};

// Kinds by number: 0 PWM, 1 Pos, 2 Current, 3 Temp.
extern const std::array<TSeriesMakeStu, SeriesKindCount> SeriesMakeTable;

class TMainForm : public QMainWindow, public Ui::TMainForm {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* owner = nullptr);
  ~TMainForm() override;

  // Run state.
  bool FRunning = false;
  std::int32_t FPollSeq = 0;
  std::int32_t FPollSize = 0;
  std::int32_t FPollLeft = 0;
  // The program: FInsCount words of FInsBuf are in use.
  std::int32_t FInsCount = 0;
  std::array<TInsStu, MaxInsCount> FInsBuf{};
  TConfigStu FConfig;
  // The board's last millisecond tick and the local date-time it stands for.
  std::uint16_t FDevTick = 0;
  TDateTime FTimeBase = 0.0;

  QTimer RunTimer;
  QTimer PortWatch;  // while a lost port is awaited
  QVector<QIcon> ImageList1;  // node-list row pictures: 0 CAN, 1 RS485
  QVector<QIcon> ImageList2;  // tool-bar pictures

  void FormCreate();
  // Shows FConfig in the settings controls and the view check boxes without
  // writing anything back.
  void ShowConfig();

  void ShowStatus(const QString& text);
  void ShowDeviceError(int code);
  void UpdateControls();
  // The board's program started at `tick`: that tick stands for now.
  void RestartTimeBase(std::uint16_t tick);
  void AdvanceTimeBase(std::uint16_t tick);
  void HandleReport(const TPayloadStu& payload);
  void ApplyViewFlags(int oldFlags);

  // Tool bar.
  void AddBtnClick();
  void InsertBtnClick();
  void EditBtnClick();
  void DelBtnClick();
  void ClearBtnClick();
  void UpBtnClick();
  void DownBtnClick();
  void TopBtnClick();
  void BotBtnClick();
  void MakeBtnClick();

  // Node list operations.
  void NodeAdd();
  void NodeEdit();
  void NodeDelete();
  void NodeClear();

  // Instruction list operations. Each writes the whole changed program to
  // the instruction table and changes the list only when that succeeds.
  void InsAdd();
  void InsInsert();
  void InsEdit();
  void InsDelete();
  bool InsClear();  // false (or a raised error) when the table kept the program
  void InsMoveUp();
  void InsMoveDown();
  void InsMoveTop();
  void InsMoveBottom();

  // Instruction list rows: row i shows slot i of FInsBuf. Each row that is
  // added becomes the selected row.
  void InsRowAppend(const TInsStu& word);
  void InsRowInsert(QTreeWidgetItem* row, const TInsStu& word);
  void InsRowRefresh(QTreeWidgetItem* row);
  void InsRowDelete(QTreeWidgetItem* row);
  void InsListRebuild();  // appends a row for each of the FInsCount words

  // Lists.
  void NodeListDblClick();
  void NodeListItemChecked(QTreeWidgetItem* item);
  void InsListDblClick();

  // Settings.
  void PortSelChange();
  void ViewCheckClick(QCheckBox* sender);
  void RS485BaudSelChange();
  void CANBaudSelChange();
  void IsExtCheckClick();
  void PriEditChange();
  void AutoStartCheckClick();
  void AutoRptCheckClick();
  void PWMRptCheckClick();

  // Program and Load: the board's set-up moves between it and this side.
  void LoadBtnClick();
  void ProgramBtnClick();
  // What Load hands over, in this order.
  void TakeBoardSettings(const TBusConfigBlock& block);
  void AddLoadedNode(const TNodeStu& node);
  void TakeLoadedProgram(const std::vector<TInsStu>& words);

  // Run control.
  void StartBtnClick();
  void StopBtnClick();
  void RunTimerTimer();

  // Reconnecting: after "Port lost", the device the port was open on is
  // looked for about once a second and the port opened again once it is back.
  void WatchLostPort();
  void StopPortWatch();
  void PortWatchTimer();

 public slots:
  // The open port went away: no port is selected any more.
  void PortLost();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SetupWindow();
  void SetupToolBar();
  void SetupLists();
  void SetupSplitters();
  void SetupCharts();
  void SetupSettings();
  void BindToolBar();
  void BindLists();
  void BindSettings();
  void BindRunControl();
  void SetupPortWatch();
  // The program check: the instruction list's rows show the findings for
  // the program and the node list, following every change of either.
  void BindProgramCheck();
  void MarkProgramFindings();
  std::vector<std::uint32_t> ProgramCheckInput() const;
  std::vector<std::uint32_t> FCheckedInput;  // what the marks shown were made for
  // The list that the tool-bar buttons act on: the one that holds the
  // keyboard focus (the buttons never take it).
  bool NodeListHasFocus() const;
  bool InsListHasFocus() const;

  // Program, Load and the generator.
  class TTransferProgressShown;
  QLabel* TransferProgress = nullptr;  // done / total transactions, beside the buttons
  void SetupTransferProgress();
  TTransactFn VisibleTransact();
  std::vector<TNodeStu> NodeRecords() const;  // the rows' records in list order
  static TMakeDlg& MakeEditor();

  // Instruction list.
  static TInsDlg& InsEditor();
  bool AskNewInstruction();
  bool ChangeProgram(const std::function<bool()>& prepare);
  int SelectedInsRow() const;
  void SelectInsRow(int row);
  void RevealInsRow(int row);
  void ShowInsWord(QTreeWidgetItem* row, int position, const TInsStu& word);
  void RenumberInsRows(int from);

  static TDataMod& Store();
  template <typename T, typename Arg>
  static bool ChangeSetting(T& field, const T& value, bool (TDataMod::*update)(Arg));
  QVector<QCheckBox*> ViewChecks() const;
  void ClearNodesAndSeries();
  void OpenPortOrClearSelection(const QString& name);

  // Node list, run control and live reports.
 public:
  // Appends a row that takes the record over, and selects it.
  void NodeRowAdd(std::unique_ptr<TNodeStu> node);
  void NodeRowRefresh(TNodeRow* row);
  void NodeRowRemove(TNodeRow* row);
  void CheckFirstNodes(int count);
  TNodeRow* FindNodeRow(int bus, int addr) const;

  TChartSeries* FindSeries(int bus, int addr, int kind) const;
  void AddChartPoint(TChartSeries* series, double value, TDateTime time);
  void PlotPWM(int bus, int addr, int value, TDateTime time);
  void ShowPosColumn(int bus, int addr, int value);
  void ShowMeasureColumns(int bus, int addr, int temperature, int current);
  void CreateSeries(const QString& name, int bus, int kind, int addr);
  void AddNodeSeries(const QString& name, int bus, int addr);
  void RemoveNodeSeries(int bus, int addr);
  void RemoveSeries(int bus, int addr, int kind);

  // Node health: the clock the ages of reports are measured by.
  std::function<std::int64_t()> FHealthClock = MonotonicMs;
  void NoteNodeReport(TNodeRow* row, std::optional<int> temperature);
  void RefreshNodeHealth();

  // Chart control. A chart the operator zoomed or panned is paused: it no
  // longer follows the newest point, and says so; points keep coming in.
  bool FollowsNewest(const QCustomPlot* chart) const;
  void PauseChart(QCustomPlot* chart);
  void FollowNewest(QCustomPlot* chart);
  void ShowWholeRun(QCustomPlot* chart);  // pauses it too
  void SaveChartImage(QCustomPlot* chart, const QString& path);
  void ExportChartCsv(QCustomPlot* chart, const QString& path);

 private:
  std::map<const QCustomPlot*, QCPItemText*> PausedMarks;
  void SetupChartControl();
  void SetupChartMenu(QCustomPlot* chart);
  void ShowNewest(QCustomPlot* chart, double key);  // the 30 seconds up to the key
  void AskSaveChartImage(QCustomPlot* chart);
  void AskExportChartCsv(QCustomPlot* chart);

  void ShowNodeHealth(TNodeRow* row, std::int64_t nowMs) const;
  static TNodeDlg& NodeEditor();
  TNodeRow* SelectedNodeRow() const;
  void SelectNodeRow(int index);
  void ShowNode(TNodeRow* row) const;
  bool UpdateNodeOrRestore(TNodeStu& node, const TNodeStu& previous);
  QCustomPlot* ChartOfKind(int kind) const;
  void RemoveSeriesWhere(const std::function<bool(std::uint32_t tag)>& match);
  void SpanCurrentChart();
  void BlinkRunLamp();
  void PollTick();
};

extern TMainForm* MainForm;
