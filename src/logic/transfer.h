// Program and Load: which requests go to the board in which order, and how
// the answers fold back into the settings, the node list and the program.
// The sequences are plain code; the main window runs them through its
// transactions and applies what they read.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "frame.h"
#include "insword.h"
#include "records.h"

// One transaction: sends the request and waits up to timeoutMs for its
// answer; true when a proper answer came.
using TTransactFn = std::function<bool(const TPayloadStu& request, TPayloadStu& answer, std::uint32_t timeoutMs)>;
// Called after every transaction: how many are done of the total known so
// far (Load knows its total only once the board has told its counts).
using TProgressFn = std::function<void(int done, int total)>;

struct TTransferStep {
  TPayloadStu Request;
  std::uint32_t TimeoutMs = 0;
};

// The bus-configuration block of the stored settings.
TBusConfigBlock BusConfigOf(const TConfigStu& config);

// The requests of Program in order: the bus settings, Erase, one AddNode per
// node (bus code and address), one SetInst per program word, Store.
std::vector<TTransferStep> ProgramSteps(const TConfigStu& config, const std::vector<TNodeStu>& nodes,
                                        const TInsStu* words, int count);

// Runs the steps in order and stops at the first that fails. The answer to
// the last step (Store) is not looked at. True when every step before it
// succeeded.
bool RunProgram(const std::vector<TTransferStep>& steps, const TTransactFn& transact,
                const TProgressFn& progress = {});

// What Load hands over as it reads, in this order.
class TLoadSink {
 public:
  virtual ~TLoadSink() = default;
  // The board's bus settings.
  virtual void BusConfigRead(const TBusConfigBlock& block) = 0;
  // One node of the board's table, as a new record ("Node<i+1>", angle 60,
  // interval 50).
  virtual void NodeRead(const TNodeStu& node) = 0;
  // The whole program, only once every word has arrived.
  virtual void ProgramRead(const std::vector<TInsStu>& words) = 0;
};

enum class TLoadResult {
  Complete,
  Stopped,       // a transaction failed; what was handed over so far stays
  TooManyWords,  // the board holds more words than the program can take; nothing was handed over
};

struct TLoadOutcome {
  TLoadResult Result = TLoadResult::Stopped;
  TCounts Counts;  // what the board said it holds, once it has said it
};

// The node record Load makes of the board's node `index`.
TNodeStu LoadedNode(int index, const TNodeAnswer& answer);

// Reads the bus settings, the nodes and the program from the board.
TLoadOutcome RunLoad(const TTransactFn& transact, TLoadSink& sink, const TProgressFn& progress = {});

// The status text for a board whose program does not fit.
QString TooManyWordsText(int words);
