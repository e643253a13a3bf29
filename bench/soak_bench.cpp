// Soak: the program's six objects against servo-board-sim reporting unasked
// at about the line's full rate (two nodes, a position and a measurement
// report of each every millisecond: 4,000 frames a second of the 4,266 that
// 512000 baud carries) for a given time, 600 s unless told otherwise.
// Figures: reports handled, reports missing from the board's tick sequence,
// bytes the frame finder passed over, bytes lost to a full receive queue,
// the program's memory and CPU, the virtual board's CPU. Reports go through
// the real dispatcher; the charts keep no points yet, so all memory growth
// counts.
//   soak_bench [SECONDS]      (SERVO_BOARD_SIM names the simulator; by
//                              default the one of this build tree)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

#include "benchsupport.h"
#include "comm.h"
#include "errordisplay.h"
#include "mainform.h"
#include "program.h"
#include "schema.h"
#include "transact.h"

namespace {

constexpr int SampleEveryMs = 10000;


long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// User and system CPU seconds of another process, from /proc/PID/stat.
double ChildCpuSeconds(qint64 pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::uint32_t Word(unsigned type, unsigned channel, unsigned addr, std::uint16_t value) {
  return MakeInsWord(type, channel, addr, value).Word;
}

// Every millisecond: the position and the measurements of every node.
const std::uint32_t Program[] = {Word(2, 0, 0, 0), Word(3, 0, 0, 0), Word(8, 0, 0, 1), Word(9, 0, 0, 2),
                                 Word(14, 0, 0, 0)};

// Counts the reports and the ticks missing from each node's sequence of
// each kind (the board reports every node every millisecond).
class TReportTally {
 public:
  void Take(const TPayloadStu& p) {
    if (p.Head() != HeadReport) return;
    ++Reports;
    const TReport r = ReadReport(p);
    const int key = (r.Bus & 0xFF) << 16 | r.Addr << 8 | (r.Kind == TReportKind::Measurement ? 0 : r.KindByte);
    const auto last = FLastTick.find(key);
    if (last != FLastTick.end()) {
      const int step = static_cast<std::uint16_t>(r.Tick - last->second);
      if (step > 1 && step < 30000) Missing += static_cast<unsigned long long>(step - 1);
      if (step == 0 || step >= 30000) ++OutOfOrder;
    }
    FLastTick[key] = r.Tick;
  }

  unsigned long long Reports = 0;
  unsigned long long Missing = 0;
  unsigned long long OutOfOrder = 0;

 private:
  std::map<int, std::uint16_t> FLastTick;
};

bool Ask(const TPayloadStu& request) {
  TPayloadStu answer;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (Transact(request, answer, 250)) return true;
  }
  std::fprintf(stderr, "soak: the board does not answer code %d\n", request.Code());
  return false;
}

bool StartReporting() {
  TBusConfigBlock config;
  config.AutoRpt = true;
  if (!Ask(MakeSetBusConfig(config)) || !Ask(MakeErase()) || !Ask(MakeAddNode(1, 5)) || !Ask(MakeAddNode(2, 6)))
    return false;
  for (int i = 0; i < static_cast<int>(std::size(Program)); ++i) {
    if (!Ask(MakeSetInst(i, Program[i]))) return false;
  }
  return Ask(MakeRequest(CmdStart));
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: soak_bench [SECONDS]\n");
    return 2;
  }
  SetErrorSink([](const QString& text) { std::fprintf(stderr, "soak: error shown: %s\n", qPrintable(text)); });
  QTemporaryDir dir;
  QDir::setCurrent(dir.path());
  CreateDatabaseFile("Korvane.mdb");
  QProcess sim;
  sim.start(VirtualBoardProgram(), {"--com", "1", "--dir", dir.path()});
  if (!sim.waitForReadyRead(5000)) {
    std::fprintf(stderr, "soak: the virtual board did not start (%s)\n", qPrintable(VirtualBoardProgram()));
    return 1;
  }

  CreateProgramObjects();
  if (!MainForm || !CommMod->Uart.Active()) {
    std::fprintf(stderr, "soak: the program did not open COM1\n");
    return 1;
  }
  TReportTally tally;
  CommMod->OnDispatch = [&tally](const TPayloadStu& p) {
    tally.Take(p);
    return DispatchPayload(p);
  };
  if (!StartReporting()) return 1;

  const long startKb = ResidentKb();
  const double startCpu = ProcessCpuSeconds();
  const double startSimCpu = ChildCpuSeconds(sim.processId());
  long afterMinuteKb = -1;
  QElapsedTimer clock;
  clock.start();
  QTimer sample;
  QObject::connect(&sample, &QTimer::timeout, [&] {
    const double s = clock.elapsed() / 1000.0;
    if (afterMinuteKb < 0 && s >= 60) afterMinuteKb = ResidentKb();
    std::printf("%6.0f s: %llu reports, %llu missing, %llu bytes passed over, %llu lost to a full queue, RSS %ld kB\n",
                s, tally.Reports, tally.Missing, static_cast<unsigned long long>(RxBuffer.Skipped),
                static_cast<unsigned long long>(CommMod->Uart.LostBytes()), ResidentKb());
    std::fflush(stdout);
  });
  sample.start(SampleEveryMs);
  QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
  app.exec();

  const double wall = clock.elapsed() / 1000.0;
  const double cpu = ProcessCpuSeconds() - startCpu;
  const double simCpu = ChildCpuSeconds(sim.processId()) - startSimCpu;
  const long endKb = ResidentKb();
  const std::uint64_t lostBytes = CommMod->Uart.LostBytes();
  const bool stopped = Ask(MakeRequest(CmdStop));
  DestroyProgramObjects();
  sim.terminate();
  sim.waitForFinished(5000);

  std::printf("soak of %.0f s against servo-board-sim reporting unasked:\n", wall);
  std::printf("  reports handled        %llu (%.0f per second)\n", tally.Reports, tally.Reports / wall);
  std::printf("  reports missing        %llu (gaps in each node's tick sequence), %llu out of order\n",
              tally.Missing, tally.OutOfOrder);
  std::printf("  bytes passed over      %llu by the frame finder (no valid frame in them)\n",
              static_cast<unsigned long long>(RxBuffer.Skipped));
  std::printf("  bytes lost             %llu to a full receive queue (the user-interface thread fell behind)\n",
              static_cast<unsigned long long>(lostBytes));
  std::printf("  resident memory        %ld kB after start-up, %ld kB after 60 s, %ld kB at the end (%+ld kB)\n",
              startKb, afterMinuteKb, endKb, endKb - startKb);
  std::printf("  CPU, program           %.1f s (%.1f%% of one core)\n", cpu, 100 * cpu / wall);
  std::printf("  CPU, virtual board     %.1f s (%.1f%% of one core)\n", simCpu, 100 * simCpu / wall);
  std::printf("  stop answered          %s\n", stopped ? "yes" : "no");
  return 0;
}
