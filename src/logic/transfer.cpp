#include "transfer.h"

namespace {

constexpr std::uint32_t ShortTimeOut = 100;
constexpr std::uint32_t NodeTimeOut = 250;
constexpr std::uint32_t EraseTimeOut = 350;
constexpr std::uint32_t StoreTimeOut = 250;

constexpr int LoadedAngle = 60;
constexpr int LoadedInterv = 50;

// Counts the transactions of a sequence as they are done.
class TProgressCounter {
 public:
  TProgressCounter(const TProgressFn& progress, int total) : FProgress(progress), FTotal(total) {}
  void SetTotal(int total) { FTotal = total; }
  void Step() {
    ++FDone;
    if (FProgress) FProgress(FDone, FTotal);
  }

 private:
  const TProgressFn& FProgress;
  int FTotal;
  int FDone = 0;
};

// One transaction of Load, counted.
bool Ask(const TTransactFn& transact, TProgressCounter& counter, const TPayloadStu& request, TPayloadStu& answer) {
  const bool ok = transact(request, answer, ShortTimeOut);
  counter.Step();
  return ok;
}

}  // namespace

TBusConfigBlock BusConfigOf(const TConfigStu& config) {
  TBusConfigBlock block;
  block.CANBaud = config.CANBaud;
  block.RS485Baud = config.RS485Baud;
  block.Pri = config.Pri;
  block.IsExtID = config.IsExtID;
  block.AutoStart = config.AutoStart;
  block.AutoRpt = config.AutoRpt;
  block.PWMRpt = config.PWMRpt;
  return block;
}

std::vector<TTransferStep> ProgramSteps(const TConfigStu& config, const std::vector<TNodeStu>& nodes,
                                        const TInsStu* words, int count) {
  std::vector<TTransferStep> steps;
  steps.reserve(3 + nodes.size() + static_cast<std::size_t>(count));
  steps.push_back({MakeSetBusConfig(BusConfigOf(config)), ShortTimeOut});
  steps.push_back({MakeErase(), EraseTimeOut});
  for (const TNodeStu& node : nodes) steps.push_back({MakeAddNode(node.Channel, node.Addr), NodeTimeOut});
  for (int i = 0; i < count; ++i) steps.push_back({MakeSetInst(i, words[i].Word), ShortTimeOut});
  steps.push_back({MakeStore(), StoreTimeOut});
  return steps;
}

bool RunProgram(const std::vector<TTransferStep>& steps, const TTransactFn& transact, const TProgressFn& progress) {
  TProgressCounter counter(progress, static_cast<int>(steps.size()));
  for (std::size_t i = 0; i < steps.size(); ++i) {
    TPayloadStu answer;
    const bool ok = transact(steps[i].Request, answer, steps[i].TimeoutMs);
    counter.Step();
    const bool last = i + 1 == steps.size();
    if (!ok && !last) return false;
  }
  return true;
}

TNodeStu LoadedNode(int index, const TNodeAnswer& answer) {
  TNodeStu node;
  node.NodeName = QStringLiteral("Node%1").arg(index + 1);
  node.Channel = answer.Channel;
  node.Addr = answer.Addr;
  node.Angle = LoadedAngle;
  node.Interv = LoadedInterv;
  return node;
}

TLoadOutcome RunLoad(const TTransactFn& transact, TLoadSink& sink, const TProgressFn& progress) {
  TLoadOutcome outcome;
  // The total is known once the board has told its counts.
  TProgressCounter counter(progress, 3);
  TPayloadStu answer;
  if (!Ask(transact, counter, MakeRequest(CmdLoadBegin), answer)) return outcome;
  if (!Ask(transact, counter, MakeRequest(CmdGetCounts), answer)) return outcome;
  const TCounts counts = outcome.Counts = ReadCounts(answer);
  if (counts.Words > MaxInsCount) {
    outcome.Result = TLoadResult::TooManyWords;
    return outcome;
  }
  counter.SetTotal(3 + counts.Nodes + counts.Words);

  if (!Ask(transact, counter, MakeRequest(CmdGetBusConfig), answer)) return outcome;
  sink.BusConfigRead(ReadBusConfig(answer));

  for (int i = 0; i < counts.Nodes; ++i) {
    if (!Ask(transact, counter, MakeGetNode(i), answer)) return outcome;
    sink.NodeRead(LoadedNode(i, ReadNodeAnswer(answer)));
  }

  // The words gather apart and replace the program only when all have come.
  std::vector<TInsStu> words;
  words.reserve(static_cast<std::size_t>(counts.Words));
  for (int i = 0; i < counts.Words; ++i) {
    if (!Ask(transact, counter, MakeGetInst(i), answer)) return outcome;
    words.push_back(TInsStu{ReadInstAnswer(answer)});
  }
  sink.ProgramRead(words);
  outcome.Result = TLoadResult::Complete;
  return outcome;
}

QString TooManyWordsText(int words) {
  return QStringLiteral("The board holds %1 instruction words; at most %2 fit. Nothing was loaded.")
      .arg(words)
      .arg(MaxInsCount);
}
