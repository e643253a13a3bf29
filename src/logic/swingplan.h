// The swing program: the nodes are sent to their angle, the program waits,
// reads measurements (and, if asked, positions), sends the nodes to the
// opposite angle, waits and reads again, in a loop counted by counter 1.
// Which words, in which order, follows from how the nodes spread over the
// two buses and whether they share an angle.
#pragma once

#include <vector>

#include "insword.h"
#include "records.h"

// What the scan of the node list finds on one bus. The first node sets the
// angle and the interval; a later node with another angle clears Uniform and
// raises the interval to its own when that is larger.
struct TBusSummary {
  bool Present = false;
  bool Uniform = false;
  int Angle = 0;
  int Interv = 0;
};

struct TSwingSummary {
  TBusSummary Can;    // nodes with Channel 1
  TBusSummary Rs485;  // nodes with Channel 2
};

TSwingSummary SummariseBuses(const std::vector<TNodeStu>& nodes);

// One generated instruction: which fields it writes into its slot. Fields it
// does not name keep what the slot held.
struct TSwingStep {
  enum TKind { Counter, Swing, Wait, ReadPos, ReadMea, Loop, End };
  TKind Kind = End;
  int Bus = 0;
  int Addr = 0;
  int Value = 0;  // the PWM value (angle × 10) of a swing, the milliseconds of a wait

  bool operator==(const TSwingStep& o) const {
    return Kind == o.Kind && Bus == o.Bus && Addr == o.Addr && Value == o.Value;
  }
};

// The whole program for the node list (every row takes part); empty when no
// node is on the CAN or the RS485 bus. It may be longer than a program can
// hold: the caller checks.
std::vector<TSwingStep> SwingPlan(const std::vector<TNodeStu>& nodes, bool withReadPos);

// Writes the step's fields into the slot, leaving the others as they were.
void ApplySwingStep(const TSwingStep& step, TInsStu& slot);
