// Program and Load: the bus settings, the node list and the program go to
// the board, or come back from it, as one sequence of transactions that
// stops at the first failure. While a sequence runs, the window handles no
// other input (the transactions wait on this thread); only the status line
// and the count of done transactions beside the buttons are repainted.
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "data.h"
#include "exception.h"
#include "mainform.h"
#include "noderow.h"
#include "transact.h"
#include "transfer.h"

namespace {

const QString WaitText = QStringLiteral("Wait response...");

// What Load reads goes into the settings, the node list and the program.
class TWindowLoadSink : public TLoadSink {
 public:
  explicit TWindowLoadSink(TMainForm& form) : FForm(form) {}
  void BusConfigRead(const TBusConfigBlock& block) override { FForm.TakeBoardSettings(block); }
  void NodeRead(const TNodeStu& node) override { FForm.AddLoadedNode(node); }
  void ProgramRead(const std::vector<TInsStu>& words) override { FForm.TakeLoadedProgram(words); }

 private:
  TMainForm& FForm;
};

}  // namespace

void TMainForm::SetupTransferProgress() {
  TransferProgress = new QLabel(BotPanel);
  TransferProgress->setObjectName(QStringLiteral("TransferProgress"));
  TransferProgress->setStyleSheet(QStringLiteral("color: black; font: 12px \"Tahoma\";"));
  TransferProgress->setMinimumWidth(90);
  TransferProgress->setAlignment(Qt::AlignCenter);
  BotPanelLayout->insertWidget(BotPanelLayout->indexOf(ProgramBtn) + 1, TransferProgress);
  TransferProgress->hide();
}

// Every transaction shows the wait first; the window is repainted at once,
// since no event is handled until the sequence ends.
TTransactFn TMainForm::VisibleTransact() {
  return [this](const TPayloadStu& request, TPayloadStu& answer, std::uint32_t timeoutMs) {
    ShowStatus(WaitText);
    BotPanel->repaint();
    return Transact(request, answer, timeoutMs);
  };
}

// Shows how many transactions of a sequence are done while it lives.
class TMainForm::TTransferProgressShown {
 public:
  explicit TTransferProgressShown(QLabel* label) : FLabel(label) {
    FLabel->clear();
    FLabel->show();
  }
  ~TTransferProgressShown() { FLabel->hide(); }
  TTransferProgressShown(const TTransferProgressShown&) = delete;
  TTransferProgressShown& operator=(const TTransferProgressShown&) = delete;

  TProgressFn Progress() const {
    return [label = FLabel](int done, int total) {
      label->setText(QStringLiteral("%1 / %2").arg(done).arg(total));
      label->repaint();
    };
  }

 private:
  QLabel* FLabel;
};

std::vector<TNodeStu> TMainForm::NodeRecords() const {
  std::vector<TNodeStu> nodes;
  for (int i = 0; i < NodeList->topLevelItemCount(); ++i) {
    const TNodeRow* row = TNodeRow::Of(NodeList->topLevelItem(i));
    if (row && row->Node()) nodes.push_back(*row->Node());
  }
  return nodes;
}

// Program reads the settings, the lists and the program and changes nothing
// on this side.
void TMainForm::ProgramBtnClick() {
  const std::vector<TTransferStep> steps = ProgramSteps(FConfig, NodeRecords(), FInsBuf.data(), FInsCount);
  const TTransferProgressShown shown(TransferProgress);
  RunProgram(steps, VisibleTransact(), shown.Progress());
}

void TMainForm::LoadBtnClick() {
  TWindowLoadSink sink(*this);
  TLoadOutcome outcome;
  {
    const TTransferProgressShown shown(TransferProgress);
    outcome = RunLoad(VisibleTransact(), sink, shown.Progress());
  }
  if (outcome.Result == TLoadResult::TooManyWords) ShowStatus(TooManyWordsText(outcome.Counts.Words));
}

// A node the database refuses, by failing or by an error, is dropped without
// a word; the others still come.
void TMainForm::AddLoadedNode(const TNodeStu& node) {
  auto record = std::make_unique<TNodeStu>(node);
  try {
    if (Store().InsertNode(*record)) NodeRowAdd(std::move(record));
  } catch (const Exception&) {
  }
}

// The program read from the board replaces the one in memory, in the table
// (an error writing it is dropped) and in the list.
void TMainForm::TakeLoadedProgram(const std::vector<TInsStu>& words) {
  std::copy(words.begin(), words.end(), FInsBuf.begin());
  FInsCount = static_cast<std::int32_t>(words.size());
  try {
    Store().WriteInsts(FInsBuf.data(), FInsCount);
  } catch (const Exception&) {
  }
  InsList->clear();
  InsListRebuild();
}
