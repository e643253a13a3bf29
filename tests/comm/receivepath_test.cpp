// The link module's receive path (receive queue -> PollReceive or WaitAnswer
// -> FindFrame -> dispatch) fed with byte streams of a noisy line, held
// against a scanner written from the frame format alone. The bytes go into
// the serial component's receive queue as its reader thread puts them there;
// no port is needed for that.
#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

#include "comm.h"
#include "referencescanner.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes FromHex(const char* text) {
  TBytes bytes;
  for (const QString& part : QString::fromLatin1(text).split(' ', Qt::SkipEmptyParts))
    bytes.push_back(static_cast<std::uint8_t>(part.toUInt(nullptr, 16)));
  return bytes;
}

TPayloadStu PayloadOfHex(const char* text) {
  const TBytes bytes = FromHex(text);
  TPayloadStu p;
  std::copy(bytes.begin(), bytes.end(), p.Bytes);
  return p;
}

std::vector<TPayloadStu> PayloadsOf(const std::vector<reference::TFoundFrame>& frames) {
  std::vector<TPayloadStu> payloads;
  payloads.reserve(frames.size());
  for (const auto& f : frames) payloads.push_back(PayloadOf(f.Bytes.data()));
  return payloads;
}

// A link module without a port whose receive queue the test fills.
class TReceivePath {
 public:
  TReceivePath() {
    RxBuffer = TReceiveBuffer{};
    Mod.OnDispatch = [this](const TPayloadStu& p) {
      Dispatched.push_back(p);
      return true;
    };
  }

  // Puts the stream into the queue in chunks of 1 to maxChunk bytes, each
  // followed by the arrival notification.
  void FeedInChunks(const TBytes& stream, std::size_t maxChunk, std::mt19937& random) {
    std::size_t at = 0;
    while (at < stream.size()) {
      const std::size_t chunk = std::min(stream.size() - at, 1 + random() % maxChunk);
      ASSERT_EQ(Mod.Uart.ReceiveQueue().Put(stream.data() + at, static_cast<std::int32_t>(chunk)),
                static_cast<std::int32_t>(chunk));
      Mod.UartCommNotify(&Mod.Uart, EV_RXCHAR);
      ASSERT_GE(RxBuffer.Count, 0);
      ASSERT_LE(RxBuffer.Count, ReceiveBufferSize);
      at += chunk;
    }
  }

  TCommMod Mod;
  std::vector<TPayloadStu> Dispatched;
};

struct TReproducer {
  const char* Name;
  const char* Line;                          // bytes on the line
  std::vector<const char*> Expected;         // payloads that must be dispatched, in order
};

// Streams in which a window starting at a stray or damaged 0xFE ends on a
// 0x0A inside the good frame that follows.
const TReproducer Reproducers[] = {
    {"stray 0xFE before a report whose checksum is 0x0A",
     "FE FE AC 8E 7C 00 00 00 00 00 00 0A 0A",
     {"8E 7C 00 00 00 00 00 00"}},
    {"report cut short before a position report of node 10",
     "FE AC 8E 80 01 03 FE AC 8E 80 01 0A 40 12 32 00 9D 0A",
     {"8E 80 01 0A 40 12 32 00"}},
    {"a frame swallowed by the window of a stray 0xFE, its tail forming a second one",
     "FE 92 0B 7F FF FF FF FE AC 8A FF 0A E9 FE AC FF FF 24 0A FE CC 0A FE FE 0A",
     {"8A FF 0A E9 FE AC FF FF"}},
};

std::vector<TPayloadStu> ExpectedOf(const TReproducer& r) {
  std::vector<TPayloadStu> expected;
  for (const char* p : r.Expected) expected.push_back(PayloadOfHex(p));
  return expected;
}

TEST(ReceivePath, ReproducersDispatchExactlyTheFramesSent) {
  std::mt19937 random(13);
  for (const TReproducer& r : Reproducers) {
    const TBytes line = FromHex(r.Line);
    EXPECT_EQ(PayloadsOf(reference::ScanFrames(line)), ExpectedOf(r)) << "reference: " << r.Name;
    for (std::size_t maxChunk : {line.size(), std::size_t{1}, std::size_t{5}}) {
      TReceivePath path;
      path.FeedInChunks(line, maxChunk, random);
      EXPECT_EQ(path.Dispatched, ExpectedOf(r)) << r.Name << ", chunks up to " << maxChunk;
    }
  }
}

TEST(ReceivePath, ReproducersAnswerAWaitingRequest) {
  for (const TReproducer& r : Reproducers) {
    TReceivePath path;
    const TBytes line = FromHex(r.Line);
    path.Mod.Uart.ReceiveQueue().Put(line.data(), static_cast<std::int32_t>(line.size()));
    const TPayloadStu expected = ExpectedOf(r).front();
    TPayloadStu answer;
    ASSERT_TRUE(path.Mod.WaitAnswer(expected.Code(), answer, 50)) << r.Name;
    EXPECT_EQ(answer, expected) << r.Name;
    EXPECT_TRUE(path.Dispatched.empty()) << r.Name << ": a frame that was never sent was dispatched";
  }
}

// Report frames as a running board sends them: positions, PWM values and
// measurements of a handful of nodes with a rising tick, so that checksums,
// addresses, temperatures and tick bytes of 0x0A all occur.
class TReportSource {
 public:
  explicit TReportSource(std::uint32_t seed) : FRandom(seed) {}

  TFrame Next() {
    const int kind = Pick(0, 9);
    const int bus = Pick(1, 2);
    const int addr = Pick(1, 16);
    FTick = static_cast<std::uint16_t>(FTick + Pick(0, 25));
    if (kind < 4) return BuildFrame(MakeReport(ReportKindPos, bus, addr, FTick, Pick(-900, 900)));
    if (kind < 5) return BuildFrame(MakeReport(ReportKindPWM, bus, addr, FTick, Pick(-1200, 1200)));
    return BuildFrame(MakeReport(Pick(15, 75), bus, addr, FTick, Pick(0, 300)));
  }

  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(FRandom); }
  std::uint8_t AnyByte() { return static_cast<std::uint8_t>(Pick(0, 255)); }

 private:
  std::mt19937 FRandom;
  std::uint16_t FTick = 0;
};

struct TLineStream {
  TBytes Bytes;
  std::vector<TPayloadStu> Intact;  // the frames sent whole, in order
  int Cut = 0;
  int NoisyGaps = 0;
};

// `noisyGapPercent` of the gaps between frames carry 1 to 4 bytes of any
// value (0xFE and 0x0A included); `cutPercent` of the frames lose their tail.
TLineStream MakeLineStream(int frames, int noisyGapPercent, int cutPercent, std::uint32_t seed) {
  TReportSource source(seed);
  TLineStream s;
  s.Bytes.reserve(static_cast<std::size_t>(frames) * 13);
  s.Intact.reserve(static_cast<std::size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    if (source.Pick(0, 99) < noisyGapPercent) {
      ++s.NoisyGaps;
      for (int n = source.Pick(1, 4); n > 0; --n) s.Bytes.push_back(source.AnyByte());
    }
    const TFrame frame = source.Next();
    std::size_t length = FrameSize;
    if (source.Pick(0, 99) < cutPercent) {
      ++s.Cut;
      length = static_cast<std::size_t>(source.Pick(1, FrameSize - 1));
    } else {
      s.Intact.push_back(PayloadOf(frame.data()));
    }
    s.Bytes.insert(s.Bytes.end(), frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(length));
  }
  return s;
}

// Frames of `sent` that never arrived and frames of `got` that were never
// sent, counted as multisets of payloads.
struct TDifference {
  std::size_t Lost = 0;
  std::size_t Invented = 0;
};

std::vector<std::uint64_t> SortedKeys(const std::vector<TPayloadStu>& payloads) {
  std::vector<std::uint64_t> keys;
  keys.reserve(payloads.size());
  for (const TPayloadStu& p : payloads) {
    std::uint64_t key = 0;
    std::memcpy(&key, p.Bytes, sizeof key);
    keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

std::size_t CountMissing(const std::vector<std::uint64_t>& from, const std::vector<std::uint64_t>& in) {
  std::vector<std::uint64_t> missing;
  std::set_difference(from.begin(), from.end(), in.begin(), in.end(), std::back_inserter(missing));
  return missing.size();
}

TDifference Compare(const std::vector<TPayloadStu>& sent, const std::vector<TPayloadStu>& got) {
  const std::vector<std::uint64_t> sentKeys = SortedKeys(sent);
  const std::vector<std::uint64_t> gotKeys = SortedKeys(got);
  return {CountMissing(sentKeys, gotKeys), CountMissing(gotKeys, sentKeys)};
}

struct TDifferentialCase {
  const char* Name;
  int NoisyGapPercent;
  int CutPercent;
  std::uint32_t Seed;
};

class ReceivePathDifferential : public testing::TestWithParam<TDifferentialCase> {};

TEST_P(ReceivePathDifferential, MillionReportsLoseNoneAndInventNone) {
  const TDifferentialCase& c = GetParam();
  const TLineStream line = MakeLineStream(1000000, c.NoisyGapPercent, c.CutPercent, c.Seed);
  const std::vector<TPayloadStu> reference = PayloadsOf(reference::ScanFrames(line.Bytes));

  TReceivePath path;
  std::mt19937 chunking(c.Seed + 1);
  path.FeedInChunks(line.Bytes, 64, chunking);

  const TDifference vsSent = Compare(line.Intact, path.Dispatched);
  EXPECT_EQ(vsSent.Lost, 0u) << line.Cut << " cut, " << line.NoisyGaps << " noisy gaps";
  EXPECT_EQ(vsSent.Invented, 0u);
  EXPECT_TRUE(path.Dispatched == reference) << "the receive path differs from the reference scanner";
  EXPECT_EQ(path.Dispatched.size(), line.Intact.size());
  EXPECT_EQ(RxBuffer.Skipped + FrameSize * path.Dispatched.size() + static_cast<std::size_t>(RxBuffer.Count),
            line.Bytes.size())
      << "every byte is either part of a frame, passed over, or still waiting";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReceivePathDifferential,
    testing::Values(TDifferentialCase{"NoisyGaps", 10, 0, 20261213}, TDifferentialCase{"CutShort", 0, 1, 20261214},
                    TDifferentialCase{"NoisyGapsAndCutShort", 10, 1, 20261215}),
    [](const testing::TestParamInfo<TDifferentialCase>& info) { return std::string(info.param.Name); });

}  // namespace
