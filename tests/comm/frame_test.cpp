#include <gtest/gtest.h>

#include <cstring>

#include "frame.h"

namespace {

TFrame FrameOf(std::initializer_list<int> payload) {
  TPayloadStu p;
  int i = 0;
  for (int b : payload) p.Bytes[i++] = static_cast<std::uint8_t>(b);
  return BuildFrame(p);
}

TEST(Frame, GetCountsRequestBytes) {
  const TFrame f = BuildFrame(MakeRequest(CmdGetCounts));
  const TFrame want = {0xFE, 0xAC, 0x02, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x0A};
  EXPECT_EQ(f, want);
}

TEST(Frame, ChecksumDropsUpperBits) {
  // 0x80 + 0xFF + 0x80 = 0x1FF
  const TFrame f = FrameOf({0x80, 0xFF, 0x80});
  EXPECT_EQ(FrameChecksum(&f[2], 8), 0x1FF);
  EXPECT_EQ(f[10], 0xFF);
  EXPECT_TRUE(IsValidFrame(f.data()));
}

struct ValidityCase {
  const char* name;
  std::function<void(TFrame&)> spoil;
  bool valid;
};

TEST(Frame, Validity) {
  const ValidityCase cases[] = {
      {"answer as built", [](TFrame&) {}, true},
      {"head 0x0E has no direction bit", [](TFrame& f) { f[2] = 0x0E; f[10] = 0x0E; }, false},
      {"second sync byte wrong", [](TFrame& f) { f[1] = 0xAD; }, false},
      {"checksum wrong", [](TFrame& f) { f[10] ^= 1; }, false},
  };
  for (const auto& c : cases) {
    TFrame f = BuildFrame(MakeAnswer(CmdGetCounts));
    c.spoil(f);
    EXPECT_EQ(IsValidFrame(f.data()), c.valid) << c.name;
  }
}

TEST(Frame, RequestFramesAreCheckedForTheBoardSide) {
  TFrame f = BuildFrame(MakeRequest(CmdStart));
  EXPECT_TRUE(IsValidRequestFrame(f.data()));
  EXPECT_FALSE(IsValidFrame(f.data()));
  f[11] = 0x0B;
  EXPECT_FALSE(IsValidRequestFrame(f.data()));
}

TEST(Frame, DeviceErrorTexts) {
  const std::pair<int, const char*> cases[] = {
      {0, ""},
      {1, "Unsupported inst!"},
      {2, "Index out of range!"},
      {3, "Inst data error!"},
      {4, "The password for the inst is incorrect!"},
      {5, "Internal storage error!"},
      {6, "Full, overflow error!"},
      {7, "Object not found!"},
      {8, "Unknown error!"},
      {-128, "Unknown error!"},
      {0x80, "Unknown error!"},
      {-1, "Unknown error!"},
  };
  for (const auto& [code, text] : cases) EXPECT_STREQ(DeviceErrorText(code), text) << code;
}

TEST(Frame, ReportKinds) {
  struct Case {
    int kindByte;
    TReportKind kind;
    int temperature;
  };
  const Case cases[] = {
      {0x80, TReportKind::Position, -128},
      {0x81, TReportKind::PWM, -127},
      {0x7F, TReportKind::Measurement, 127},
      {0x82, TReportKind::Measurement, -126},
      {0x19, TReportKind::Measurement, 25},
  };
  for (const auto& c : cases) {
    const TReport r = ReadReport(MakeReport(c.kindByte, 2, 0xF0, 65535, -1205));
    EXPECT_EQ(r.Kind, c.kind) << c.kindByte;
    EXPECT_EQ(r.Temperature, c.temperature) << c.kindByte;
    EXPECT_EQ(r.Bus, 2);
    EXPECT_EQ(r.Addr, 0xF0);
    EXPECT_EQ(r.Tick, 65535);
    EXPECT_EQ(r.Value, -1205);
  }
}

TEST(Frame, BusConfigBlock) {
  TBusConfigBlock c;
  c.CANBaud = 7;
  c.RS485Baud = 3;
  c.Pri = 37;
  c.IsExtID = true;
  c.AutoStart = true;
  c.PWMRpt = true;
  const TPayloadStu p = MakeSetBusConfig(c);
  EXPECT_EQ(p.Bytes[0], CmdSetBusConfig);
  EXPECT_EQ(p.Bytes[1], 7);
  EXPECT_EQ(p.Bytes[2], 3);
  EXPECT_EQ(p.Bytes[3], 0x85);  // Pri 37 goes out as 5, bit 7 extended identifiers
  EXPECT_EQ(p.Bytes[4], 0x05);

  TPayloadStu answer = MakeAnswer(CmdGetBusConfig);
  answer.Bytes[1] = 0xFF;  // read back signed
  answer.Bytes[2] = 4;
  answer.Bytes[3] = 0xE5;  // bits 5-6 ignored
  answer.Bytes[4] = 0xFA;  // only bits 0-2 count
  const TBusConfigBlock r = ReadBusConfig(answer);
  EXPECT_EQ(r.CANBaud, -1);
  EXPECT_EQ(r.RS485Baud, 4);
  EXPECT_EQ(r.Pri, 5);
  EXPECT_TRUE(r.IsExtID);
  EXPECT_FALSE(r.AutoStart);
  EXPECT_TRUE(r.AutoRpt);
  EXPECT_FALSE(r.PWMRpt);
}

TEST(Frame, RequestLayouts) {
  const TPayloadStu inst = MakeSetInst(0x0102, 0xFFFE0A21);
  const std::uint8_t wantInst[8] = {10, 0, 0x02, 0x01, 0x21, 0x0A, 0xFE, 0xFF};
  EXPECT_EQ(std::memcmp(inst.Bytes, wantInst, 8), 0);

  const TPayloadStu erase = MakeErase();
  EXPECT_EQ(std::memcmp(erase.Bytes + 1, "kqvx", 4), 0);
  const TPayloadStu store = MakeStore();
  EXPECT_EQ(std::memcmp(store.Bytes + 1, "jmtw", 4), 0);

  const TPayloadStu poll = MakePoll(511, 256);
  const std::uint8_t wantPoll[8] = {14, 0, 0xFF, 0x01, 0x00, 0x01, 0, 0};
  EXPECT_EQ(std::memcmp(poll.Bytes, wantPoll, 8), 0);

  const TPayloadStu node = MakeAddNode(0x102, 0x1FF);  // low 8 bits of each
  EXPECT_EQ(node.Bytes[1], 0x02);
  EXPECT_EQ(node.Bytes[2], 0xFF);
}

TEST(Frame, AnswerReaders) {
  TPayloadStu counts = MakeAnswer(CmdGetCounts);
  counts.Bytes[1] = 255;
  counts.SetU16(2, 300);
  EXPECT_EQ(ReadCounts(counts).Nodes, 255);
  EXPECT_EQ(ReadCounts(counts).Words, 300);

  TPayloadStu node = MakeAnswer(CmdGetNode);
  node.Bytes[1] = 0xFF;
  node.Bytes[2] = 0xFF;
  EXPECT_EQ(ReadNodeAnswer(node).Channel, -1);
  EXPECT_EQ(ReadNodeAnswer(node).Addr, 255);

  TPayloadStu inst = MakeAnswer(CmdGetInst);
  inst.SetU32(4, 0xDEADBEEF);
  EXPECT_EQ(ReadInstAnswer(inst), 0xDEADBEEFu);

  TPayloadStu start = MakeAnswer(CmdStart);
  start.SetU16(2, 65000);
  EXPECT_EQ(start.Head(), HeadStartAnswer);
  EXPECT_EQ(ReadTickAnswer(start), 65000);

  const TPayloadStu error = MakeErrorAnswer(CmdGetBusConfig, 6);
  EXPECT_EQ(error.Head(), 0xC4);
  EXPECT_TRUE(error.IsError());
  EXPECT_EQ(error.Code(), CmdGetBusConfig);
}

}  // namespace
