// The link module over a pseudo-terminal: the test plays the board on the
// master side, the module opens the slave side by its COM name.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "comm.h"
#include "referencescanner.h"
#include "testsupport.h"

namespace {

std::vector<std::uint8_t> Bytes(const TFrame& f) { return {f.begin(), f.end()}; }

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TPayloadStu Report(int value) { return MakeReport(ReportKindPos, 1, 5, 100, value); }

class LinkTest : public testing::Test {
 protected:
  void SetUp() override {
    RxBuffer = TReceiveBuffer{};
    Board.LinkAsCom(Cwd.Path(), 3);
    Board.HoldSlaveOpen();
    Mod.OnDispatch = [this](const TPayloadStu& p) {
      Dispatched.push_back(p);
      return !p.IsError() || p.U8(1) == 0;
    };
  }

  // Waits, without delivering notifications, until the reader thread has put
  // `count` bytes into the receive queue.
  void WaitQueued(int count) {
    QElapsedTimer clock;
    clock.start();
    while (Mod.Uart.ReceiveQueue().Filled() < count && clock.elapsed() < 2000) QThread::msleep(1);
    ASSERT_EQ(Mod.Uart.ReceiveQueue().Filled(), count);
  }

  TTempCwd Cwd;
  TPtyPair Board;
  TCommMod Mod;
  std::vector<TPayloadStu> Dispatched;
};

TEST_F(LinkTest, PortNames) {
  struct Case {
    const char* name;
    bool result;
    bool open;
  };
  const Case cases[] = {
      {"COM3", true, true},   {"COM3", true, true},  // already open: stays open
      {"com3", false, false}, {"COM03", true, true}, {"COM", false, false},
      {"COMX", false, false}, {"", false, false},    {"COM3 ", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Mod.OpenPort(c.name), c.result) << c.name;
    EXPECT_EQ(Mod.Uart.Active(), c.open) << c.name;
    if (c.open) {
      EXPECT_EQ(Mod.Uart.PortNo(), 3) << c.name;
    }
  }
}

TEST_F(LinkTest, MissingDeviceGivesFalseAndStaysClosed) {
  QFile::link("/nonexistent/servo-port", Cwd.File("dosdevices/com5"));
  EXPECT_FALSE(Mod.OpenPort("COM5"));
  EXPECT_FALSE(Mod.Uart.Active());
  // Back to a port that exists.
  EXPECT_TRUE(Mod.OpenPort("COM3"));
  EXPECT_TRUE(Mod.Uart.Active());
}

TEST_F(LinkTest, FrameSplitFivePlusSeven) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  const auto frame = Bytes(BuildFrame(Report(7)));
  Board.Write(frame.data(), 5);
  ASSERT_TRUE(WaitUntil([&] { return RxBuffer.Count == 5; }, 2000));
  EXPECT_TRUE(Dispatched.empty());
  Board.Write(frame.data() + 5, 7);
  ASSERT_TRUE(WaitUntil([&] { return Dispatched.size() == 1; }, 2000));
  EXPECT_EQ(Dispatched[0], Report(7));
  EXPECT_EQ(RxBuffer.Count, 0);
}

TEST_F(LinkTest, ThirtyBytesWithoutSyncKeepEleven) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  Board.Write(std::vector<std::uint8_t>(30, 0x55));
  WaitQueued(30);
  // The first read takes 24 and the scan keeps the last 11; the next read
  // takes the remaining 6 of the 13 there is room for.
  Mod.PollReceive();
  EXPECT_EQ(RxBuffer.Count, 11);
  EXPECT_EQ(RxBuffer.Bytes[0], 0x55);
  EXPECT_EQ(Mod.Uart.ReceiveQueue().Filled(), 0);
  EXPECT_TRUE(Dispatched.empty());
}

TEST_F(LinkTest, EveryFrameOfABurstIsDispatchedAtOnce) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  std::vector<std::uint8_t> burst;
  for (int i = 1; i <= 8; ++i) {
    const auto f = Bytes(BuildFrame(Report(i)));
    burst.insert(burst.end(), f.begin(), f.end());
  }
  burst.push_back(0xFE);  // the start of a frame still on its way
  Board.Write(burst);
  WaitQueued(97);
  Mod.PollReceive();  // one notification for the whole burst
  ASSERT_EQ(Dispatched.size(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Dispatched[i], Report(i + 1));
  EXPECT_EQ(RxBuffer.Count, 1);
  EXPECT_EQ(Mod.Uart.ReceiveQueue().Filled(), 0);
}

TEST_F(LinkTest, ReportArrivingDuringWaitIsDispatchedFirst) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  TPayloadStu config = MakeAnswer(CmdGetBusConfig);
  config.Bytes[1] = 3;
  Board.Write(Concat({Bytes(BuildFrame(Report(9))), Bytes(BuildFrame(config))}));
  TPayloadStu answer;
  ASSERT_TRUE(Mod.WaitAnswer(CmdGetBusConfig, answer, 250));
  EXPECT_EQ(answer, config);
  ASSERT_EQ(Dispatched.size(), 1u);
  EXPECT_EQ(Dispatched[0], Report(9));
}

TEST_F(LinkTest, WrongChecksumIsDroppedAndTheNextFrameFound) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  auto bad = Bytes(BuildFrame(MakeAnswer(CmdGetCounts)));
  bad[10] ^= 0x01;
  TPayloadStu good = MakeAnswer(CmdGetCounts);
  good.Bytes[1] = 3;
  Board.Write(Concat({bad, Bytes(BuildFrame(good))}));
  TPayloadStu answer;
  ASSERT_TRUE(Mod.WaitAnswer(CmdGetCounts, answer, 250));
  EXPECT_EQ(answer, good);
  EXPECT_TRUE(Dispatched.empty());
}

TEST_F(LinkTest, BytesAfterTheMatchingFrameStayInTheBuffer) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  Board.Write(Concat({Bytes(BuildFrame(MakeAnswer(CmdGetCounts))), {0xFE, 0xAC, 0x8E}}));
  WaitQueued(15);
  TPayloadStu answer;
  ASSERT_TRUE(Mod.WaitAnswer(CmdGetCounts, answer, 100));
  EXPECT_EQ(RxBuffer.Count, 3);
}

TEST_F(LinkTest, TimeOutCountsFromTheLastArrival) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  // Bytes keep arriving 40 ms apart for longer than the time-out; the answer
  // comes last, 240 ms after the wait began.
  std::thread board([&] {
    for (int i = 0; i < 6; ++i) {
      QThread::msleep(40);
      Board.Write({0x00});
    }
    Board.Write(Bytes(BuildFrame(MakeAnswer(CmdStart))));
  });
  QElapsedTimer clock;
  clock.start();
  TPayloadStu answer;
  const bool got = Mod.WaitAnswer(CmdStart, answer, 100);
  const qint64 waited = clock.elapsed();
  board.join();
  EXPECT_TRUE(got);
  EXPECT_GE(waited, 200);
}

TEST_F(LinkTest, ALineThatNeverFallsSilentEndsTheWaitAfterFiveTimeOuts) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  // Reports every 20 ms for 3 s; the answer never comes.
  std::atomic<bool> run{true};
  std::thread board([&] {
    for (int i = 0; i < 150 && run; ++i) {
      Board.Write(Bytes(BuildFrame(Report(i))));
      QThread::msleep(20);
    }
  });
  QElapsedTimer clock;
  clock.start();
  TPayloadStu answer;
  const bool got = Mod.WaitAnswer(CmdStart, answer, 100);
  const qint64 waited = clock.elapsed();
  run = false;
  board.join();
  EXPECT_FALSE(got);
  EXPECT_GE(waited, 450);  // five time-outs, counted in whole milliseconds
  EXPECT_LT(waited, 2000) << "the wait went on while the reports did";
  EXPECT_GT(Dispatched.size(), 10u) << "the reports that came meanwhile were dispatched";
}

TEST_F(LinkTest, SilenceEndsTheWaitWithFalse) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  QElapsedTimer clock;
  clock.start();
  TPayloadStu answer;
  EXPECT_FALSE(Mod.WaitAnswer(CmdStart, answer, 100));
  EXPECT_GE(clock.elapsed(), 100);
  EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(LinkTest, SendBytesDiscardsUnreadBytesButNotTheModuleBuffer) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  Board.Write({1, 2, 3, 4, 5});
  WaitQueued(5);
  RxBuffer.Count = 3;  // bytes the module has already taken in
  ASSERT_TRUE(Mod.SendPayload(MakeRequest(CmdGetCounts)));
  EXPECT_EQ(Mod.Uart.ReceiveQueue().Filled(), 0);
  EXPECT_EQ(RxBuffer.Count, 3);
  const auto sent = Board.Read(12, 2000);
  EXPECT_EQ(sent, Bytes(BuildFrame(MakeRequest(CmdGetCounts))));
}

TEST_F(LinkTest, LostPortClosesAndSignals) {
  ASSERT_TRUE(Mod.OpenPort("COM3"));
  int lost = 0;
  QObject::connect(&Mod, &TCommMod::PortLost, [&] { ++lost; });
  Board.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return lost > 0; }, 3000));
  PumpEvents(100);
  EXPECT_EQ(lost, 1);
  EXPECT_FALSE(Mod.Uart.Active());
}

// FindFrame over arbitrary byte streams: nothing outside the buffer is
// touched (run under the sanitizers), the count stays within the buffer,
// only valid frames come out, and a valid frame that arrives whole after any
// garbage is found whenever the reference scanner finds it there. Garbage
// with 0xFE and 0x0A in it may open a window that ends inside the frame.
TEST(FindFrameFuzz, ValidFramesSurviveGarbage) {
  std::mt19937 rng(20261210);
  auto byte = [&] { return static_cast<std::uint8_t>(rng() & 0xFF); };
  int found = 0, planted = 0, endInside = 0;
  for (int round = 0; round < 20000; ++round) {
    TReceiveBuffer buffer;
    std::vector<std::uint8_t> stream;
    const int garbage = static_cast<int>(rng() % 40);
    for (int i = 0; i < garbage; ++i) stream.push_back(rng() % 4 == 0 ? (rng() % 2 ? 0xFE : 0x0A) : byte());
    TPayloadStu p;
    for (auto& b : p.Bytes) b = byte();
    p.Bytes[0] |= HeadDirFlag;
    if (rng() % 2) p.Bytes[1 + rng() % 7] = FrameEnd;  // a 0x0A inside the payload
    const TFrame frame = BuildFrame(p);
    endInside += std::find(frame.begin() + 1, frame.end() - 1, FrameEnd) != frame.end() - 1;
    stream.insert(stream.end(), frame.begin(), frame.end());
    for (int i = 0; i < static_cast<int>(rng() % 8); ++i) stream.push_back(byte());

    bool seen = false;
    std::size_t at = 0;
    while (at < stream.size()) {
      const std::size_t room = static_cast<std::size_t>(ReceiveBufferSize - buffer.Count);
      const std::size_t chunk = std::min<std::size_t>({room, stream.size() - at, 1 + rng() % 24});
      std::memcpy(buffer.Bytes + buffer.Count, stream.data() + at, chunk);
      buffer.Count += static_cast<std::int32_t>(chunk);
      at += chunk;
      std::uint8_t out[FrameSize];
      while (FindFrame(buffer, out)) {
        ASSERT_LE(buffer.Count, ReceiveBufferSize);
        ASSERT_GE(buffer.Count, 0);
        ASSERT_TRUE(reference::IsBoardFrameAt(out)) << "round " << round;
        if (std::memcmp(out, frame.data(), FrameSize) == 0) seen = true;
      }
      ASSERT_LE(buffer.Count, 11);
    }
    const auto scanned = reference::ScanFrames(stream);
    const bool there = std::any_of(scanned.begin(), scanned.end(), [&](const reference::TFoundFrame& f) {
      return f.Offset == static_cast<std::size_t>(garbage);
    });
    if (there) {
      ++planted;
      EXPECT_TRUE(seen) << "round " << round;
      found += seen;
    }
  }
  EXPECT_GT(planted, 19900);
  EXPECT_GT(endInside, 5000) << "frames with 0x0A inside are covered";
  EXPECT_EQ(found, planted);
}

TEST(FindFrame, ScanKeepsTheLastElevenBytes) {
  TReceiveBuffer buffer;
  for (int i = 0; i < 24; ++i) buffer.Bytes[i] = static_cast<std::uint8_t>(i);
  buffer.Count = 24;
  std::uint8_t out[FrameSize];
  EXPECT_FALSE(FindFrame(buffer, out));
  EXPECT_EQ(buffer.Count, 11);
  EXPECT_EQ(buffer.Bytes[0], 13);

  buffer.Count = 11;  // too short to scan: nothing dropped
  EXPECT_FALSE(FindFrame(buffer, out));
  EXPECT_EQ(buffer.Count, 11);
}

}  // namespace
