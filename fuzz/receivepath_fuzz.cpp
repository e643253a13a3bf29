// The link module's receive path (receive queue -> PollReceive or WaitAnswer
// -> FindFrame -> dispatch) on arbitrary bytes. The input is noise into
// which whole report frames are planted; the stream is fed in chunks of
// random size. Checked on every input: the fill count of the receive buffer
// stays in 0..24, what is dispatched (and answered) is exactly what a
// scanner written from the frame format finds in the stream, so only valid
// frames come out and every planted frame that scanner sees is found, and the
// result is the same for a second chunking and for the WaitAnswer path.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "comm.h"
#include "referencescanner.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

void Require(bool condition) {
  if (!condition) std::abort();
}

TCommMod& Link() {
  static TCommMod* mod = new TCommMod;  // lives for the whole fuzzing run
  return *mod;
}

// Noise runs from the input with whole frames between them; a frame's
// payload comes from the input with the direction bit set.
TBytes PlantFrames(FuzzedDataProvider& input) {
  TBytes stream;
  while (input.remaining_bytes() > 0) {
    const TBytes noise = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 30));
    stream.insert(stream.end(), noise.begin(), noise.end());
    if (!input.ConsumeBool()) continue;
    TPayloadStu payload;
    const TBytes bytes = input.ConsumeBytes<std::uint8_t>(PayloadSize);
    std::copy(bytes.begin(), bytes.end(), payload.Bytes);
    payload.Bytes[0] |= HeadDirFlag;
    const TFrame frame = BuildFrame(payload);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  return stream;
}

std::vector<TPayloadStu> ReferenceFrames(const TBytes& stream) {
  std::vector<TPayloadStu> frames;
  for (const auto& found : reference::ScanFrames(stream)) frames.push_back(PayloadOf(found.Bytes.data()));
  return frames;
}

void Reset(TCommMod& mod, std::vector<TPayloadStu>& dispatched) {
  RxBuffer = TReceiveBuffer{};
  mod.Uart.ReceiveQueue().Clear();
  dispatched.clear();
  mod.OnDispatch = [&dispatched](const TPayloadStu& p) {
    dispatched.push_back(p);
    return true;
  };
}

void RequireFillInRange() { Require(RxBuffer.Count >= 0 && RxBuffer.Count <= ReceiveBufferSize); }

std::vector<TPayloadStu> ThroughPollReceive(const TBytes& stream, std::uint32_t chunkSeed) {
  TCommMod& mod = Link();
  std::vector<TPayloadStu> dispatched;
  Reset(mod, dispatched);
  std::uint32_t state = chunkSeed | 1;
  for (std::size_t at = 0; at < stream.size();) {
    state = state * 1664525u + 1013904223u;
    const std::size_t chunk = std::min<std::size_t>(stream.size() - at, 1 + (state >> 24) % 40);
    Require(mod.Uart.ReceiveQueue().Put(stream.data() + at, static_cast<std::int32_t>(chunk)) ==
            static_cast<std::int32_t>(chunk));
    mod.UartCommNotify(&mod.Uart, EV_RXCHAR);
    RequireFillInRange();
    at += chunk;
  }
  mod.OnDispatch = nullptr;
  return dispatched;
}

// Waits (without blocking: the time-out is 0) for frames of one command
// code; answers and dispatched frames together, in arrival order. A wait
// looks into the buffer only after a read that brought bytes, so what is
// left there at the end is taken out as the next arrival would.
std::vector<TPayloadStu> ThroughWaitAnswer(const TBytes& stream, std::uint8_t code) {
  TCommMod& mod = Link();
  std::vector<TPayloadStu> dispatched;
  Reset(mod, dispatched);
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t chunk = std::min<std::size_t>(stream.size() - at, 4000);
    mod.Uart.ReceiveQueue().Put(stream.data() + at, static_cast<std::int32_t>(chunk));
    at += chunk;
    // A wait with no time-out ends after each read; it is repeated until
    // the queue is empty.
    TPayloadStu answer;
    while (mod.Uart.ReceiveQueue().Filled() > 0) {
      if (mod.WaitAnswer(code, answer, 0)) {
        Require(answer.Code() == code);
        dispatched.push_back(answer);
      }
      RequireFillInRange();
    }
  }
  // A frame behind the last answer waits in the buffer for the next bytes.
  std::uint8_t frame[FrameSize];
  while (FindFrame(frame)) dispatched.push_back(PayloadOf(frame));
  mod.OnDispatch = nullptr;
  return dispatched;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::uint32_t chunkSeed = input.ConsumeIntegral<std::uint32_t>();
  const std::uint8_t code = input.ConsumeIntegral<std::uint8_t>() & HeadCodeMask;
  const TBytes stream = PlantFrames(input);
  const std::vector<TPayloadStu> expected = ReferenceFrames(stream);

  Require(ThroughPollReceive(stream, chunkSeed) == expected);
  Require(ThroughPollReceive(stream, ~chunkSeed) == expected);
  Require(ThroughWaitAnswer(stream, code) == expected);
  return 0;
}
