#include "swingplan.h"

#include <algorithm>

namespace {

constexpr int BusBoth = 0;
constexpr int BusCan = 1;
constexpr int BusRs485 = 2;
constexpr int LoopCount = 100;

void AddToSummary(TBusSummary& bus, const TNodeStu& node) {
  if (!bus.Present) {
    bus = {true, true, node.Angle, node.Interv};
  } else if (node.Angle != bus.Angle) {
    bus.Uniform = false;
    bus.Interv = std::max(bus.Interv, node.Interv);
  }
}

// Builds the program around the swings to one side and to the other.
class TPlanBuilder {
 public:
  explicit TPlanBuilder(bool withReadPos) : FWithReadPos(withReadPos) {}

  void Counter() { Add({TSwingStep::Counter, 0, 0, LoopCount}); }
  void Swing(int bus, int addr, int value) { Add({TSwingStep::Swing, bus, addr, value}); }
  // The wait and the reads that follow each half swing.
  void WaitAndRead(int interv, int readBus) {
    Add({TSwingStep::Wait, 0, 0, interv});
    if (FWithReadPos) Add({TSwingStep::ReadPos, readBus, 0, 0});
    Add({TSwingStep::ReadMea, readBus, 0, 0});
  }
  std::vector<TSwingStep> LoopAndEnd() {
    Add({TSwingStep::Loop, 0, 0, 0});
    Add({TSwingStep::End, 0, 0, 0});
    return std::move(FSteps);
  }

 private:
  void Add(const TSwingStep& step) { FSteps.push_back(step); }

  bool FWithReadPos;
  std::vector<TSwingStep> FSteps;
};

std::vector<TSwingStep> MakeSameAngle(int bus, int angle, int interv, bool withReadPos) {
  TPlanBuilder plan(withReadPos);
  plan.Counter();
  for (int sign : {1, -1}) {
    plan.Swing(bus, 0, sign * angle * 10);
    plan.WaitAndRead(interv, bus);
  }
  return plan.LoopAndEnd();
}

std::vector<TSwingStep> MakeTwoAngles(int canAngle, int rs485Angle, int interv, bool withReadPos) {
  TPlanBuilder plan(withReadPos);
  plan.Counter();
  for (int sign : {1, -1}) {
    plan.Swing(BusCan, 0, sign * canAngle * 10);
    plan.Swing(BusRs485, 0, sign * rs485Angle * 10);
    plan.WaitAndRead(interv, BusBoth);
  }
  return plan.LoopAndEnd();
}

std::vector<TSwingStep> MakePerNode(const std::vector<TNodeStu>& nodes, int readBus, int interv, bool withReadPos) {
  TPlanBuilder plan(withReadPos);
  plan.Counter();
  for (int sign : {1, -1}) {
    for (const TNodeStu& node : nodes) plan.Swing(node.Channel & 0xF, node.Addr & 0xFF, sign * node.Angle * 10);
    plan.WaitAndRead(interv, readBus);
  }
  return plan.LoopAndEnd();
}

// One bus present: its own angle if uniform, else one swing per node.
std::vector<TSwingStep> PlanForOneBus(const std::vector<TNodeStu>& nodes, int bus, const TBusSummary& summary,
                                      bool withReadPos) {
  if (summary.Uniform) return MakeSameAngle(bus, summary.Angle, summary.Interv, withReadPos);
  return MakePerNode(nodes, bus, summary.Interv, withReadPos);
}

}  // namespace

TSwingSummary SummariseBuses(const std::vector<TNodeStu>& nodes) {
  TSwingSummary summary;
  for (const TNodeStu& node : nodes) {
    if (node.Channel == BusCan) AddToSummary(summary.Can, node);
    if (node.Channel == BusRs485) AddToSummary(summary.Rs485, node);
  }
  return summary;
}

std::vector<TSwingStep> SwingPlan(const std::vector<TNodeStu>& nodes, bool withReadPos) {
  const TSwingSummary s = SummariseBuses(nodes);
  if (!s.Can.Present && !s.Rs485.Present) return {};
  if (!s.Can.Present) return PlanForOneBus(nodes, BusRs485, s.Rs485, withReadPos);
  if (!s.Rs485.Present) return PlanForOneBus(nodes, BusCan, s.Can, withReadPos);
  const int interv = std::max(s.Can.Interv, s.Rs485.Interv);
  if (!s.Can.Uniform || !s.Rs485.Uniform) return MakePerNode(nodes, BusBoth, interv, withReadPos);
  if (s.Can.Angle == s.Rs485.Angle) return MakeSameAngle(BusBoth, s.Can.Angle, interv, withReadPos);
  return MakeTwoAngles(s.Can.Angle, s.Rs485.Angle, interv, withReadPos);
}

void ApplySwingStep(const TSwingStep& step, TInsStu& slot) {
  const auto low16 = [](int v) { return static_cast<std::uint16_t>(v & 0xFFFF); };
  switch (step.Kind) {
    case TSwingStep::Counter:
      slot.SetInsType(InsSetCount);
      slot.SetChannel_CountIndex(0);
      slot.SetAddr_InsIndex(0);
      slot.SetPWM_Delay_Count(low16(step.Value));
      break;
    case TSwingStep::Swing:
      slot.SetInsType(InsSendPWM);
      slot.SetChannel_CountIndex(static_cast<unsigned>(step.Bus));
      slot.SetAddr_InsIndex(static_cast<unsigned>(step.Addr));
      slot.SetPWM_Delay_Count(low16(step.Value));
      break;
    case TSwingStep::Wait:
      slot.SetInsType(InsDelay);
      slot.SetAddr_InsIndex(0);
      slot.SetPWM_Delay_Count(low16(step.Value));
      break;
    case TSwingStep::ReadPos:
    case TSwingStep::ReadMea:
      slot.SetInsType(step.Kind == TSwingStep::ReadPos ? InsReadPos : InsReadMea);
      slot.SetChannel_CountIndex(static_cast<unsigned>(step.Bus));
      slot.SetAddr_InsIndex(0);
      break;
    case TSwingStep::Loop:
      slot.SetInsType(InsGoto);
      slot.SetChannel_CountIndex(0);
      slot.SetAddr_InsIndex(0);
      break;
    case TSwingStep::End:
      slot.SetInsType(InsEnd);
      break;
  }
}
