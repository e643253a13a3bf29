// Figures of the link over a pseudo-terminal:
//  - the round trip of one request/answer (send, wait, match) against a
//    minimal board thread that answers every request at once;
//  - the CPU time a wait for an answer uses while nothing arrives.
// Run from any directory: it works in a temporary one.
// The serial component names its baud rates B110 ... B12M, which <termios.h>
// defines as macros: it comes first, the system headers after it.
#include "comm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Answers every request frame with 0x80 + its code.
void AnswerRequests(int master, const std::atomic<bool>& run) {
  std::vector<std::uint8_t> pending;
  while (run) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    std::uint8_t buf[256];
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) continue;
    pending.insert(pending.end(), buf, buf + n);
    while (pending.size() >= FrameSize) {
      if (!IsValidRequestFrame(pending.data())) {
        pending.erase(pending.begin());
        continue;
      }
      const TFrame answer = BuildFrame(MakeAnswer(PayloadOf(pending.data()).Code()));
      if (write(master, answer.data(), answer.size()) < 0) return;
      pending.erase(pending.begin(), pending.begin() + FrameSize);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  int master = -1, slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return 1;
  termios t{};
  tcgetattr(slave, &t);
  cfmakeraw(&t);
  tcsetattr(slave, TCSANOW, &t);
  QDir().mkpath("dosdevices");
  QFile::link(name, "dosdevices/com1");

  TCommMod mod;
  if (!mod.OpenPort("COM1")) {
    std::fprintf(stderr, "cannot open the pseudo-terminal\n");
    return 1;
  }
  std::atomic<bool> run{true};
  std::thread board(AnswerRequests, master, std::cref(run));

  const int rounds = 2000;
  std::vector<double> times;
  times.reserve(rounds);
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    TPayloadStu answer;
    const bool ok = mod.SendPayload(MakeRequest(CmdGetCounts)) && mod.WaitAnswer(CmdGetCounts, answer, 100);
    const auto end = std::chrono::steady_clock::now();
    if (!ok) {
      std::fprintf(stderr, "round %d: no answer\n", i);
      continue;
    }
    times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  std::sort(times.begin(), times.end());
  if (!times.empty()) {
    std::printf("round trip over a pseudo-terminal, %zu requests: median %.1f us, p90 %.1f us, p99 %.1f us, max %.1f us\n",
                times.size(), times[times.size() / 2], times[times.size() * 9 / 10], times[times.size() * 99 / 100],
                times.back());
  }

  run = false;
  board.join();
  const double thread0 = ThreadCpuMs(), process0 = ProcessCpuMs();
  const auto wall0 = std::chrono::steady_clock::now();
  const int waits = 10;
  for (int i = 0; i < waits; ++i) {
    TPayloadStu answer;
    mod.WaitAnswer(CmdGetCounts, answer, 100);
  }
  const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();
  std::printf("waiting for an answer that never comes, %d waits of 100 ms (%.0f ms wall): "
              "%.3f ms CPU on the waiting thread, %.3f ms CPU in the whole process, per 100 ms waited\n",
              waits, wall, (ThreadCpuMs() - thread0) / waits, (ProcessCpuMs() - process0) / waits);
  mod.Uart.SetActive(false);
  close(slave);
  close(master);
  return 0;
}
