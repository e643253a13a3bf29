// The virtual board's scanner and request handler on arbitrary requests:
// the input is a run of requests (payloads from the input, sent as whole
// frames, damaged frames or with noise before them) with board time passing
// between them, fed to the scanner in chunks. Checked on every input: the
// node table never holds more than 255 entries and the program never more
// than 256 words, every frame the board sends (answers, polled and unasked
// reports) is a proper frame of the wire format, and every image the board
// stores in flash reads back from its file text unchanged. A second mode
// reads the input as flash file text: whatever parses formats back to text
// that parses to the same image.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "board.h"
#include "flash.h"
#include "framescanner.h"
#include "referencescanner.h"

namespace {

using TBytes = std::vector<std::uint8_t>;

void Require(bool condition) {
  if (!condition) std::abort();
}

void RequireProperFrames(const std::vector<TPayloadStu>& payloads) {
  for (const TPayloadStu& p : payloads) Require(reference::IsBoardFrameAt(BuildFrame(p).data()));
}

bool RoundTrips(const TBoardImage& image) {
  const TFlashParse parsed = ParseFlash(FormatFlash(image));
  return parsed.Ok && parsed.Image == image;
}

void RequireBoardLimits(const TBoard& board) {
  const TBoardImage working = board.Working();
  Require(board.Nodes().Count() <= MaxBoardNodes && working.Nodes.size() <= MaxBoardNodes);
  Require(working.Program.size() <= MaxBoardWords);
}

// Mostly commands the board knows, with a parameter byte that reaches the
// ends of the node table and the program.
TPayloadStu RequestOf(FuzzedDataProvider& input) {
  TPayloadStu request;
  const TBytes bytes = input.ConsumeBytes<std::uint8_t>(PayloadSize);
  std::copy(bytes.begin(), bytes.end(), request.Bytes);
  if (input.ConsumeBool()) request.Bytes[0] = static_cast<std::uint8_t>(request.Bytes[0] % 16);
  if (request.Bytes[0] == CmdErase && input.ConsumeBool()) request = MakeErase();
  if (request.Bytes[0] == CmdStore && input.ConsumeBool()) request = MakeStore();
  return request;
}

TBytes LineBytesOf(FuzzedDataProvider& input, const TPayloadStu& request) {
  TBytes line = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 3));
  TFrame frame = BuildFrame(request);
  if (input.ConsumeIntegralInRange<int>(0, 15) == 0) frame[input.ConsumeIntegralInRange<std::size_t>(0, 11)] ^= 0x10;
  line.insert(line.end(), frame.begin(), frame.end());
  return line;
}

void RunRequests(FuzzedDataProvider& input) {
  TBoard board({}, [](const TBoardImage& image) {
    Require(image.Nodes.size() <= MaxBoardNodes && image.Program.size() <= MaxBoardWords);
    Require(RoundTrips(image));
    return true;
  });
  TFrameScanner scanner;
  std::uint64_t now = 0;
  while (input.remaining_bytes() > 0) {
    const TBytes line = LineBytesOf(input, RequestOf(input));
    for (std::size_t at = 0; at < line.size();) {
      const std::size_t chunk = std::min(line.size() - at, input.ConsumeIntegralInRange<std::size_t>(1, 12));
      scanner.Feed(line.data() + at, chunk);
      at += chunk;
      while (const auto request = scanner.Next()) {
        Require(IsValidRequestFrame(request->data()));
        RequireProperFrames(board.Handle(PayloadOf(request->data())));
        RequireBoardLimits(board);
      }
      Require(scanner.Pending() < FrameSize);
    }
    now += input.ConsumeIntegralInRange<std::uint64_t>(0, 300);
    board.AdvanceTo(now);
    RequireProperFrames(board.TakeUnsolicited());
  }
  Require(RoundTrips(board.Working()));
}

void ParseFlashText(FuzzedDataProvider& input) {
  const TFlashParse parsed = ParseFlash(input.ConsumeRemainingBytesAsString());
  if (!parsed.Ok) return;
  Require(parsed.Image.Nodes.size() <= MaxBoardNodes && parsed.Image.Program.size() <= MaxBoardWords);
  Require(RoundTrips(parsed.Image));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  if (input.ConsumeIntegralInRange<int>(0, 7) == 0) {
    ParseFlashText(input);
  } else {
    RunRequests(input);
  }
  return 0;
}
