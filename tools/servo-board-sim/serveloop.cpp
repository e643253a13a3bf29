#include "serveloop.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int IdleWaitMs = 200;
constexpr int RunningWaitMs = 1;  // the program's clock is stepped every millisecond
constexpr std::uint64_t LineErrorPauseMs = 5;

}  // namespace

TServeLoop::TServeLoop(TBoard& board, int masterFd, TFaultPlan& faults, int latencyMs, TFrameLog& log)
    : FBoard(board), FMaster(masterFd), FFaults(faults), FLatencyMs(latencyMs), FLog(log) {}

void TServeLoop::Run(const volatile std::sig_atomic_t& stop, const sigset_t& waitMask) {
  while (!stop) {
    const std::uint64_t now = NowMs();
    Keep(now);
    Flush();
    const bool lineUsable = now >= FLineQuietUntilMs;
    pollfd line{lineUsable ? FMaster : -1, static_cast<short>(POLLIN | (HasUnsent() ? POLLOUT : 0)), 0};
    const int waitMs = WaitMs(now);
    const timespec wait{waitMs / 1000, (waitMs % 1000) * 1000000L};
    if (::ppoll(&line, 1, &wait, &waitMask) > 0 && (line.revents & (POLLIN | POLLHUP | POLLERR))) Receive();
  }
}

std::uint64_t TServeLoop::NowMs() const {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - FStart).count());
}

// Runs the board up to now and queues what is due to go out.
void TServeLoop::Keep(std::uint64_t now) {
  FBoard.AdvanceTo(now);
  for (const TPayloadStu& report : FBoard.TakeUnsolicited()) Queue(BuildFrame(report));
  ReleaseDue(now);
}

void TServeLoop::Receive() {
  std::uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
    if (n > 0) {
      FScanner.Feed(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // EIO or end of file: no slave side open for a moment; keep going.
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) FLineQuietUntilMs = NowMs() + LineErrorPauseMs;
    break;
  }
  const std::uint64_t now = NowMs();
  Keep(now);
  while (const auto request = FScanner.Next()) Serve(*request, now);
}

void TServeLoop::Serve(const TFrame& request, std::uint64_t now) {
  FLog.Write("rx", request.data(), request.size());
  const std::vector<TPayloadStu> answers = FBoard.Handle(PayloadOf(request.data()));
  if (FFaults.DropsNextRequest()) return;  // carried out, but its answer is lost
  TDelayed delayed{now + static_cast<std::uint64_t>(FLatencyMs), {}};
  for (const TPayloadStu& answer : answers) {
    TFrame frame = BuildFrame(answer);
    if (FFaults.SpoilsNextAnswer()) TFaultPlan::SpoilChecksum(frame);
    delayed.Frames.push_back(frame);
  }
  FDelayed.push_back(std::move(delayed));
  ReleaseDue(now);
}

void TServeLoop::ReleaseDue(std::uint64_t now) {
  while (!FDelayed.empty() && FDelayed.front().DueMs <= now) {
    for (const TFrame& frame : FDelayed.front().Frames) Queue(frame);
    FDelayed.pop_front();
  }
}

void TServeLoop::Queue(TFrame frame) {
  const std::vector<std::uint8_t> noise = FFaults.NoiseBytes();
  if (FOut.size() - FOutSent + noise.size() + frame.size() > MaxUnsentBytes) return;
  FOut.insert(FOut.end(), noise.begin(), noise.end());
  FOut.insert(FOut.end(), frame.begin(), frame.end());
  FLog.Write("tx", frame.data(), frame.size());
}

void TServeLoop::Flush() {
  while (HasUnsent()) {
    const ssize_t n = ::write(FMaster, FOut.data() + FOutSent, FOut.size() - FOutSent);
    if (n > 0) {
      FOutSent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) FOutSent = FOut.size();  // line gone: drop it
      break;
    }
  }
  if (!HasUnsent() || FOutSent >= MaxUnsentBytes) {
    FOut.erase(FOut.begin(), FOut.begin() + static_cast<std::ptrdiff_t>(FOutSent));
    FOutSent = 0;
  }
}

int TServeLoop::WaitMs(std::uint64_t now) const {
  if (FBoard.Running()) return RunningWaitMs;
  int wait = IdleWaitMs;
  if (!FDelayed.empty()) {
    const std::uint64_t due = FDelayed.front().DueMs;
    wait = due <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(wait, due - now));
  }
  if (now < FLineQuietUntilMs) wait = std::min<int>(wait, static_cast<int>(FLineQuietUntilMs - now));
  return wait;
}
