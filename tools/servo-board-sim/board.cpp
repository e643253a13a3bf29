#include "board.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool HasPassword(const TPayloadStu& request, const char (&password)[4]) {
  return std::memcmp(&request.Bytes[1], password, sizeof password) == 0;
}

int RoundClamped(double value, int low, int high) {
  const long rounded = std::lround(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
  return static_cast<int>(rounded);
}

// Report values: position in tenths of a degree, current in hundredths of an
// ampere; the temperature travels in the kind byte, whose values -128 and
// -127 mean position and PWM reports.
int PositionTenths(const TServoModel& servo) { return RoundClamped(servo.PositionDeg() * 10, -32768, 32767); }
int CurrentHundredths(const TServoModel& servo) { return RoundClamped(servo.CurrentA() * 100, -32768, 32767); }
int TemperatureByte(const TServoModel& servo) { return RoundClamped(servo.TemperatureC(), -126, 127); }

}  // namespace

TBoard::TBoard(TBoardImage stored, TFlashWriter flash) : FStored(std::move(stored)), FFlash(std::move(flash)) {
  FConfig = FStored.Config;
  FNodes.Assign(FStored.Nodes);
  FProgram.assign(FStored.Program.begin(),
                  FStored.Program.begin() + static_cast<std::ptrdiff_t>(std::min(FStored.Program.size(), MaxBoardWords)));
  if (FConfig.AutoStart) StartProgram();
}

void TBoard::AdvanceTo(std::uint64_t nowMs) {
  if (nowMs < FNowMs) return;
  FNowMs = nowMs;
  FRunner.RunUntil(nowMs, FProgram, *this);
  FNodes.AdvanceTo(nowMs);
}

std::vector<TPayloadStu> TBoard::Handle(const TPayloadStu& request) {
  if (request.Head() == CmdPoll) return FRing.From(request.U16(2), request.U16(4));
  return {Answer(request)};
}

std::vector<TPayloadStu> TBoard::TakeUnsolicited() {
  std::vector<TPayloadStu> reports(FUnsolicited.begin(), FUnsolicited.end());
  FUnsolicited.clear();
  return reports;
}

TBoardImage TBoard::Working() const { return {FConfig, FNodes.Entries(), FProgram}; }

TPayloadStu TBoard::Answer(const TPayloadStu& request) {
  // A head byte with the error or direction bit set is no known command either.
  switch (request.Head()) {
    case CmdLoadBegin: return MakeAnswer(CmdLoadBegin);
    case CmdGetCounts: return CountsAnswer();
    case CmdSetBusConfig: FConfig = ReadBusConfig(request); return MakeAnswer(CmdSetBusConfig);
    case CmdGetBusConfig: return BusConfigAnswer();
    case CmdGetNode: return NodeAnswer(request);
    case CmdAddNode: return AddNode(request);
    case CmdStart: StartProgram(); return TickAnswer(CmdStart);
    case CmdStop: FRunner.Stop(); return TickAnswer(CmdStop);
    case CmdSetInst: return SetInst(request);
    case CmdGetInst: return InstAnswer(request);
    case CmdErase: return Erase(request);
    case CmdStore: return Store(request);
    default: return MakeErrorAnswer(request.Head(), DevErrUnsupported);
  }
}

TPayloadStu TBoard::CountsAnswer() const {
  TPayloadStu answer = MakeAnswer(CmdGetCounts);
  answer.Bytes[1] = static_cast<std::uint8_t>(FNodes.Count());
  answer.SetU16(2, static_cast<std::uint16_t>(FProgram.size()));
  return answer;
}

TPayloadStu TBoard::BusConfigAnswer() const {
  TPayloadStu answer = MakeAnswer(CmdGetBusConfig);
  WriteBusConfig(answer, FConfig);
  return answer;
}

TPayloadStu TBoard::NodeAnswer(const TPayloadStu& request) const {
  const std::size_t index = request.U8(1);
  if (index >= FNodes.Count()) return MakeErrorAnswer(CmdGetNode, DevErrIndexRange);
  TPayloadStu answer = MakeAnswer(CmdGetNode);
  answer.Bytes[1] = FNodes.Entry(index).Bus;
  answer.Bytes[2] = FNodes.Entry(index).Addr;
  return answer;
}

TPayloadStu TBoard::AddNode(const TPayloadStu& request) {
  if (!FNodes.Add({request.U8(1), request.U8(2)})) return MakeErrorAnswer(CmdAddNode, DevErrFull);
  return MakeAnswer(CmdAddNode);
}

TPayloadStu TBoard::TickAnswer(std::uint8_t code) const {
  TPayloadStu answer = MakeAnswer(code);
  answer.SetU16(2, Tick());
  return answer;
}

// A word at the current count is appended, one below it replaced; anything
// further on would leave a gap and is out of range, as is a 257th word.
TPayloadStu TBoard::SetInst(const TPayloadStu& request) {
  const std::size_t index = request.U16(2);
  if (index > FProgram.size() || index >= MaxBoardWords) return MakeErrorAnswer(CmdSetInst, DevErrIndexRange);
  if (index == FProgram.size()) {
    FProgram.push_back(request.U32(4));
  } else {
    FProgram[index] = request.U32(4);
  }
  return MakeAnswer(CmdSetInst);
}

TPayloadStu TBoard::InstAnswer(const TPayloadStu& request) const {
  const std::size_t index = request.U16(2);
  if (index >= FProgram.size()) return MakeErrorAnswer(CmdGetInst, DevErrIndexRange);
  TPayloadStu answer = MakeAnswer(CmdGetInst);
  answer.SetU32(4, FProgram[index]);
  return answer;
}

// Erasing takes the program away, so a running program stops with it.
TPayloadStu TBoard::Erase(const TPayloadStu& request) {
  if (!HasPassword(request, ErasePassword)) return MakeErrorAnswer(CmdErase, DevErrPassword);
  FRunner.Stop();
  FNodes.Clear();
  FProgram.clear();
  return MakeAnswer(CmdErase);
}

// The stored copy changes only once it has been written where it survives.
TPayloadStu TBoard::Store(const TPayloadStu& request) {
  if (!HasPassword(request, StorePassword)) return MakeErrorAnswer(CmdStore, DevErrPassword);
  TBoardImage image = Working();
  if (FFlash && !FFlash(image)) return MakeErrorAnswer(CmdStore, DevErrStorage);
  FStored = std::move(image);
  return MakeAnswer(CmdStore);
}

// A Start while the program runs begins it afresh.
void TBoard::StartProgram() {
  FRing.Reset();
  FUnsolicited.clear();
  FRunner.Start(FNowMs);
}

void TBoard::Emit(const TPayloadStu& report) {
  FRing.Push(report);
  if (!FConfig.AutoRpt) return;
  FUnsolicited.push_back(report);
  if (FUnsolicited.size() > MaxUnsolicited) FUnsolicited.pop_front();
}

void TBoard::SendPWM(int bus, int addr, std::int16_t value, std::uint64_t atMs) {
  FNodes.AdvanceTo(atMs);
  for (std::size_t i : FNodes.Addressed(bus, addr)) FNodes.Command(i, value / 10.0);
  if (FConfig.PWMRpt) Emit(MakeReport(ReportKindPWM, bus, addr, TickAt(atMs), value));
}

void TBoard::ReadPos(int bus, int addr, std::uint64_t atMs) {
  FNodes.AdvanceTo(atMs);
  for (std::size_t i : FNodes.Addressed(bus, addr)) {
    const TNodeEntry& node = FNodes.Entry(i);
    Emit(MakeReport(ReportKindPos, node.Bus, node.Addr, TickAt(atMs), PositionTenths(FNodes.Servo(i))));
  }
}

void TBoard::ReadMea(int bus, int addr, std::uint64_t atMs) {
  FNodes.AdvanceTo(atMs);
  for (std::size_t i : FNodes.Addressed(bus, addr)) {
    const TNodeEntry& node = FNodes.Entry(i);
    const TServoModel& servo = FNodes.Servo(i);
    Emit(MakeReport(TemperatureByte(servo), node.Bus, node.Addr, TickAt(atMs), CurrentHundredths(servo)));
  }
}

// Network-management commands are accepted; the model has nothing they change.
void TBoard::SendNM(int, int, std::uint8_t, std::uint8_t, std::uint64_t) {}
