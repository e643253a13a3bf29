// The wire frame between the program and the servo controller board, the
// command set and the device error texts. Plain C++ with no Qt, so that the
// virtual board (tools/servo-board-sim) shares it with the program.
//
// A frame is 12 bytes: 0xFE 0xAC, 8 payload bytes, the low 8 bits of the sum
// of the payload bytes, 0x0A. Payload byte 0 is the head byte: command code in
// bits 0-5, error flag in bit 6, direction (set by the board) in bit 7.
// Multi-byte fields are little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::size_t FrameSize = 12;
constexpr std::size_t PayloadSize = 8;
constexpr std::uint8_t FrameSync1 = 0xFE;
constexpr std::uint8_t FrameSync2 = 0xAC;
constexpr std::uint8_t FrameEnd = 0x0A;

constexpr std::uint8_t HeadCodeMask = 0x3F;
constexpr std::uint8_t HeadErrorFlag = 0x40;
constexpr std::uint8_t HeadDirFlag = 0x80;

using TFrame = std::array<std::uint8_t, FrameSize>;

// Command codes the program sends.
enum TCommand : std::uint8_t {
  CmdLoadBegin = 1,
  CmdGetCounts = 2,
  CmdSetBusConfig = 3,
  CmdGetBusConfig = 4,
  CmdGetNode = 5,
  CmdAddNode = 6,
  CmdStart = 8,
  CmdStop = 9,
  CmdSetInst = 10,
  CmdGetInst = 11,
  CmdErase = 12,
  CmdStore = 13,
  CmdPoll = 14,
};

// Head bytes the board sends on its own (or as answers acted on by themselves).
constexpr std::uint8_t HeadStartAnswer = HeadDirFlag | CmdStart;  // 0x88
constexpr std::uint8_t HeadStopAnswer = HeadDirFlag | CmdStop;    // 0x89
constexpr std::uint8_t HeadReport = HeadDirFlag | CmdPoll;        // 0x8E

// Report kind byte values; any other value is a measurement report whose kind
// byte is the temperature.
constexpr std::uint8_t ReportKindPos = 0x80;
constexpr std::uint8_t ReportKindPWM = 0x81;

// The confirmation codes that CmdErase and CmdStore carry in bytes 1-4.
constexpr char ErasePassword[4] = {'k', 'q', 'v', 'x'};
constexpr char StorePassword[4] = {'j', 'm', 't', 'w'};

// Device error codes (payload byte 1 of an error frame).
enum TDeviceError : std::int8_t {
  DevErrNone = 0,
  DevErrUnsupported = 1,
  DevErrIndexRange = 2,
  DevErrInstData = 3,
  DevErrPassword = 4,
  DevErrStorage = 5,
  DevErrFull = 6,
  DevErrNotFound = 7,
};

// The 8 payload bytes in wire order.
struct TPayloadStu {
  std::uint8_t Bytes[PayloadSize] = {};

  std::uint8_t Head() const { return Bytes[0]; }
  std::uint8_t Code() const { return Bytes[0] & HeadCodeMask; }
  bool IsError() const { return (Bytes[0] & HeadErrorFlag) != 0; }
  bool FromBoard() const { return (Bytes[0] & HeadDirFlag) != 0; }

  std::uint8_t U8(std::size_t at) const { return Bytes[at]; }
  std::int8_t S8(std::size_t at) const { return static_cast<std::int8_t>(Bytes[at]); }
  std::uint16_t U16(std::size_t at) const {
    return static_cast<std::uint16_t>(Bytes[at] | (Bytes[at + 1] << 8));
  }
  std::int16_t S16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
  std::uint32_t U32(std::size_t at) const {
    return static_cast<std::uint32_t>(U16(at)) | (static_cast<std::uint32_t>(U16(at + 2)) << 16);
  }
  void SetU16(std::size_t at, std::uint16_t v) {
    Bytes[at] = static_cast<std::uint8_t>(v & 0xFF);
    Bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  void SetU32(std::size_t at, std::uint32_t v) {
    SetU16(at, static_cast<std::uint16_t>(v & 0xFFFF));
    SetU16(at + 2, static_cast<std::uint16_t>(v >> 16));
  }

  bool operator==(const TPayloadStu& o) const;
  bool operator!=(const TPayloadStu& o) const { return !(*this == o); }
};

// Sum of the bytes, each taken unsigned; frames carry its low 8 bits.
int FrameChecksum(const std::uint8_t* bytes, std::size_t count);

TFrame BuildFrame(const TPayloadStu& payload);

// Takes a 12-byte window that starts with 0xFE and ends with 0x0A (the frame
// finder guarantees both) and checks the second sync byte, the direction bit
// and the checksum.
bool IsValidFrame(const std::uint8_t* frame);

// Same check for frames travelling to the board (direction bit clear); used by
// the virtual board.
bool IsValidRequestFrame(const std::uint8_t* frame);

TPayloadStu PayloadOf(const std::uint8_t* frame);

// The fixed text of a device error code taken as signed 8-bit.
const char* DeviceErrorText(int code);

// The bus settings carried in payload bytes 1 to 4 of CmdSetBusConfig and of
// the answer to CmdGetBusConfig.
struct TBusConfigBlock {
  int CANBaud = 0;
  int RS485Baud = 0;
  int Pri = 0;
  bool IsExtID = false;
  bool AutoStart = false;
  bool AutoRpt = false;
  bool PWMRpt = false;

  bool operator==(const TBusConfigBlock& o) const;
};

void WriteBusConfig(TPayloadStu& payload, const TBusConfigBlock& config);
TBusConfigBlock ReadBusConfig(const TPayloadStu& payload);

// Requests, one builder per command.
TPayloadStu MakeRequest(TCommand code);
TPayloadStu MakeSetBusConfig(const TBusConfigBlock& config);
TPayloadStu MakeGetNode(int index);
TPayloadStu MakeAddNode(int channel, int addr);
TPayloadStu MakeSetInst(int index, std::uint32_t word);
TPayloadStu MakeGetInst(int index);
TPayloadStu MakeErase();
TPayloadStu MakeStore();
TPayloadStu MakePoll(std::uint16_t seq, std::uint16_t count);

// Answers as the board sends them (used by the virtual board and by tests).
TPayloadStu MakeAnswer(std::uint8_t code);
TPayloadStu MakeErrorAnswer(std::uint8_t code, int error);

// The fields of an answer the program reads.
struct TCounts {
  int Nodes = 0;  // unsigned 8-bit
  int Words = 0;  // unsigned 16-bit
};
TCounts ReadCounts(const TPayloadStu& answer);
struct TNodeAnswer {
  int Channel = 0;  // signed 8-bit
  int Addr = 0;     // unsigned 8-bit
};
TNodeAnswer ReadNodeAnswer(const TPayloadStu& answer);
std::uint32_t ReadInstAnswer(const TPayloadStu& answer);
std::uint16_t ReadTickAnswer(const TPayloadStu& answer);  // 0x88 and 0x89

// A report frame (head byte 0x8E) taken apart.
enum class TReportKind { Position, PWM, Measurement };
struct TReport {
  TReportKind Kind = TReportKind::Measurement;
  int KindByte = 0;     // byte 1 unsigned
  int Temperature = 0;  // byte 1 signed, meaningful for measurements
  int Bus = 0;          // byte 2 signed
  int Addr = 0;         // byte 3 unsigned
  std::uint16_t Tick = 0;
  int Value = 0;        // bytes 6-7 signed
};
TReport ReadReport(const TPayloadStu& payload);
TPayloadStu MakeReport(int kindByte, int bus, int addr, std::uint16_t tick, int value);
