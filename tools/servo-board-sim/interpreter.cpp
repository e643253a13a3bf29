#include "interpreter.h"

#include "insword.h"

void TProgramRunner::Start(std::uint64_t nowMs) {
  FRunning = true;
  FPc = 0;
  FCounters.fill(0);
  FWakeMs = nowMs;
  FStepsAtWake = 0;
}

void TProgramRunner::RunUntil(std::uint64_t nowMs, const std::vector<std::uint32_t>& program,
                              TBusActions& bus) {
  std::size_t steps = 0;
  while (FRunning && FWakeMs <= nowMs) {
    if (FPc >= program.size()) {
      FRunning = false;  // ran off the end of the program
    } else if (FStepsAtWake >= MaxStepsPerMs) {
      WakeAt(FWakeMs + 1);
    } else if (steps >= MaxStepsPerRun && FWakeMs < nowMs) {
      WakeAt(nowMs);
    } else {
      ++FStepsAtWake;
      ++steps;
      Execute(program[FPc], bus);
    }
  }
}

void TProgramRunner::Execute(std::uint32_t word, TBusActions& bus) {
  const TInsStu ins{word};
  const int channel = static_cast<int>(ins.Channel_CountIndex());
  const int addr = static_cast<int>(ins.Addr_InsIndex());
  ++FPc;  // every type but Goto goes on with the next word
  switch (ins.InsType()) {
    case InsSendPWM: bus.SendPWM(channel, addr, ins.SignedValue(), FWakeMs); break;
    case InsReadPos: bus.ReadPos(channel, addr, FWakeMs); break;
    case InsReadMea: bus.ReadMea(channel, addr, FWakeMs); break;
    case InsSendNM: bus.SendNM(channel, addr, ins.Byte(2), ins.Byte(3), FWakeMs); break;
    case InsDelay: WakeAt(FWakeMs + ins.PWM_Delay_Count()); break;
    case InsSetCount: FCounters[ins.Channel_CountIndex()] = ins.PWM_Delay_Count(); break;
    case InsGoto: Goto(ins.Channel_CountIndex(), ins.Addr_InsIndex()); break;
    default: FRunning = false; break;  // End, and any type the board does not know
  }
}

void TProgramRunner::WakeAt(std::uint64_t ms) {
  if (ms == FWakeMs) return;
  FWakeMs = ms;
  FStepsAtWake = 0;
}

void TProgramRunner::Goto(std::size_t counter, std::size_t target) {
  std::uint16_t& count = FCounters[counter];
  if (count > 0) --count;
  if (count > 0) FPc = target;
}
