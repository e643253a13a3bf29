#include "frame.h"

#include <algorithm>
#include <cstring>

bool TPayloadStu::operator==(const TPayloadStu& o) const {
  return std::equal(std::begin(Bytes), std::end(Bytes), std::begin(o.Bytes));
}

bool TBusConfigBlock::operator==(const TBusConfigBlock& o) const {
  return CANBaud == o.CANBaud && RS485Baud == o.RS485Baud && Pri == o.Pri &&
         IsExtID == o.IsExtID && AutoStart == o.AutoStart && AutoRpt == o.AutoRpt &&
         PWMRpt == o.PWMRpt;
}

int FrameChecksum(const std::uint8_t* bytes, std::size_t count) {
  int sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return sum;
}

TFrame BuildFrame(const TPayloadStu& payload) {
  TFrame frame{};
  frame[0] = FrameSync1;
  frame[1] = FrameSync2;
  std::memcpy(&frame[2], payload.Bytes, PayloadSize);
  frame[10] = static_cast<std::uint8_t>(FrameChecksum(payload.Bytes, PayloadSize) & 0xFF);
  frame[11] = FrameEnd;
  return frame;
}

static bool HasGoodSyncAndSum(const std::uint8_t* frame) {
  return frame[1] == FrameSync2 &&
         frame[10] == static_cast<std::uint8_t>(FrameChecksum(frame + 2, PayloadSize) & 0xFF);
}

bool IsValidFrame(const std::uint8_t* frame) {
  return HasGoodSyncAndSum(frame) && (frame[2] & HeadDirFlag) != 0;
}

bool IsValidRequestFrame(const std::uint8_t* frame) {
  return frame[0] == FrameSync1 && frame[11] == FrameEnd && HasGoodSyncAndSum(frame) &&
         (frame[2] & HeadDirFlag) == 0;
}

TPayloadStu PayloadOf(const std::uint8_t* frame) {
  TPayloadStu p;
  std::memcpy(p.Bytes, frame + 2, PayloadSize);
  return p;
}

const char* DeviceErrorText(int code) {
  switch (static_cast<std::int8_t>(code)) {
    case DevErrNone: return "";
    case DevErrUnsupported: return "Unsupported inst!";
    case DevErrIndexRange: return "Index out of range!";
    case DevErrInstData: return "Inst data error!";
    case DevErrPassword: return "The password for the inst is incorrect!";
    case DevErrStorage: return "Internal storage error!";
    case DevErrFull: return "Full, overflow error!";
    case DevErrNotFound: return "Object not found!";
    default: return "Unknown error!";
  }
}

void WriteBusConfig(TPayloadStu& payload, const TBusConfigBlock& config) {
  payload.Bytes[1] = static_cast<std::uint8_t>(config.CANBaud & 0xFF);
  payload.Bytes[2] = static_cast<std::uint8_t>(config.RS485Baud & 0xFF);
  payload.Bytes[3] = static_cast<std::uint8_t>((config.Pri & 0x1F) | (config.IsExtID ? 0x80 : 0));
  payload.Bytes[4] = static_cast<std::uint8_t>((config.AutoStart ? 1 : 0) | (config.AutoRpt ? 2 : 0) |
                                               (config.PWMRpt ? 4 : 0));
}

TBusConfigBlock ReadBusConfig(const TPayloadStu& payload) {
  TBusConfigBlock c;
  c.CANBaud = payload.S8(1);
  c.RS485Baud = payload.S8(2);
  c.Pri = payload.U8(3) & 0x1F;
  c.IsExtID = (payload.U8(3) & 0x80) != 0;
  c.AutoStart = (payload.U8(4) & 1) != 0;
  c.AutoRpt = (payload.U8(4) & 2) != 0;
  c.PWMRpt = (payload.U8(4) & 4) != 0;
  return c;
}

TPayloadStu MakeRequest(TCommand code) {
  TPayloadStu p;
  p.Bytes[0] = code;
  return p;
}

TPayloadStu MakeSetBusConfig(const TBusConfigBlock& config) {
  TPayloadStu p = MakeRequest(CmdSetBusConfig);
  WriteBusConfig(p, config);
  return p;
}

TPayloadStu MakeGetNode(int index) {
  TPayloadStu p = MakeRequest(CmdGetNode);
  p.Bytes[1] = static_cast<std::uint8_t>(index & 0xFF);
  return p;
}

TPayloadStu MakeAddNode(int channel, int addr) {
  TPayloadStu p = MakeRequest(CmdAddNode);
  p.Bytes[1] = static_cast<std::uint8_t>(channel & 0xFF);
  p.Bytes[2] = static_cast<std::uint8_t>(addr & 0xFF);
  return p;
}

TPayloadStu MakeSetInst(int index, std::uint32_t word) {
  TPayloadStu p = MakeRequest(CmdSetInst);
  p.SetU16(2, static_cast<std::uint16_t>(index & 0xFFFF));
  p.SetU32(4, word);
  return p;
}

TPayloadStu MakeGetInst(int index) {
  TPayloadStu p = MakeRequest(CmdGetInst);
  p.SetU16(2, static_cast<std::uint16_t>(index & 0xFFFF));
  return p;
}

static TPayloadStu MakeWithPassword(TCommand code, const char (&password)[4]) {
  TPayloadStu p = MakeRequest(code);
  std::memcpy(&p.Bytes[1], password, 4);
  return p;
}

TPayloadStu MakeErase() { return MakeWithPassword(CmdErase, ErasePassword); }
TPayloadStu MakeStore() { return MakeWithPassword(CmdStore, StorePassword); }

TPayloadStu MakePoll(std::uint16_t seq, std::uint16_t count) {
  TPayloadStu p = MakeRequest(CmdPoll);
  p.SetU16(2, seq);
  p.SetU16(4, count);
  return p;
}

TPayloadStu MakeAnswer(std::uint8_t code) {
  TPayloadStu p;
  p.Bytes[0] = static_cast<std::uint8_t>(HeadDirFlag | (code & HeadCodeMask));
  return p;
}

TPayloadStu MakeErrorAnswer(std::uint8_t code, int error) {
  TPayloadStu p;
  p.Bytes[0] = static_cast<std::uint8_t>(HeadDirFlag | HeadErrorFlag | (code & HeadCodeMask));
  p.Bytes[1] = static_cast<std::uint8_t>(error & 0xFF);
  return p;
}

TCounts ReadCounts(const TPayloadStu& answer) { return {answer.U8(1), answer.U16(2)}; }

TNodeAnswer ReadNodeAnswer(const TPayloadStu& answer) { return {answer.S8(1), answer.U8(2)}; }

std::uint32_t ReadInstAnswer(const TPayloadStu& answer) { return answer.U32(4); }

std::uint16_t ReadTickAnswer(const TPayloadStu& answer) { return answer.U16(2); }

TReport ReadReport(const TPayloadStu& payload) {
  TReport r;
  r.KindByte = payload.U8(1);
  r.Kind = r.KindByte == ReportKindPos   ? TReportKind::Position
           : r.KindByte == ReportKindPWM ? TReportKind::PWM
                                         : TReportKind::Measurement;
  r.Temperature = payload.S8(1);
  r.Bus = payload.S8(2);
  r.Addr = payload.U8(3);
  r.Tick = payload.U16(4);
  r.Value = payload.S16(6);
  return r;
}

TPayloadStu MakeReport(int kindByte, int bus, int addr, std::uint16_t tick, int value) {
  TPayloadStu p;
  p.Bytes[0] = HeadReport;
  p.Bytes[1] = static_cast<std::uint8_t>(kindByte & 0xFF);
  p.Bytes[2] = static_cast<std::uint8_t>(bus & 0xFF);
  p.Bytes[3] = static_cast<std::uint8_t>(addr & 0xFF);
  p.SetU16(4, tick);
  p.SetU16(6, static_cast<std::uint16_t>(value & 0xFFFF));
  return p;
}
