// servo-board-sim: a virtual servo controller board on a pseudo-terminal,
// reached by the program through DIR/dosdevices/comN.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "board.h"
#include "comlink.h"
#include "faults.h"
#include "flash.h"
#include "framelog.h"
#include "options.h"
#include "ptyline.h"
#include "serveloop.h"

namespace {

constexpr int ExitRefused = 2;
constexpr int ExitSystem = 1;

volatile std::sig_atomic_t StopRequested = 0;

void RequestStop(int) { StopRequested = 1; }

void Complain(const std::string& text) { std::fprintf(stderr, "servo-board-sim: %s\n", text.c_str()); }

// SIGINT and SIGTERM stay blocked except while the serve loop waits; the
// mask it waits with is returned.
sigset_t CatchStopSignals() {
  std::signal(SIGPIPE, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigset_t waitMask;
  sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
  sigdelset(&waitMask, SIGINT);
  sigdelset(&waitMask, SIGTERM);
  return waitMask;
}

TBoardImage LoadStoredCopy(const std::string& flashFile) {
  if (flashFile.empty()) return {};
  TFlashLoad load = LoadFlashFile(flashFile);
  if (load.State == TFlashFileState::Corrupt)
    Complain("flash file " + flashFile + " is corrupt (" + load.Error + "); starting empty");
  return std::move(load.Image);
}

TFlashWriter FlashWriterFor(const std::string& flashFile) {
  if (flashFile.empty()) return {};
  return [flashFile](const TBoardImage& image) {
    std::string error;
    if (SaveFlashFile(flashFile, image, error)) return true;
    Complain("cannot store the flash file: " + error);
    return false;
  };
}

bool AbsoluteDir(const std::string& dir, std::string& absolute) {
  char resolved[PATH_MAX];
  if (::realpath(dir.c_str(), resolved) == nullptr) {
    Complain("cannot use the directory " + dir + ": " + std::strerror(errno));
    return false;
  }
  absolute = resolved;
  return true;
}

int Serve(const TSimOptions& options, const sigset_t& waitMask) {
  TFrameLog log;
  std::string error;
  if (!options.LogFile.empty() && !log.Open(options.LogFile, error)) {
    Complain(error);
    return ExitRefused;
  }
  std::string dir;
  if (!AbsoluteDir(options.Dir, dir)) return ExitRefused;
  TBoard board(LoadStoredCopy(options.FlashFile), FlashWriterFor(options.FlashFile));
  TPtyLine line;
  const std::string linkPath = ComLinkPath(dir, options.Com);
  if (!CreateComLink(linkPath, line.SlavePath(), error)) {
    Complain(error);
    return ExitRefused;
  }
  std::printf("servo-board-sim: COM%d is %s -> %s\n", options.Com, linkPath.c_str(), line.SlavePath().c_str());
  std::fflush(stdout);
  TFaultPlan faults(options.DropEvery, options.BadChecksumEvery, options.Noise,
                    options.Seed ? *options.Seed : std::random_device{}());
  TServeLoop(board, line.MasterFd(), faults, options.LatencyMs, log).Run(StopRequested, waitMask);
  RemoveComLink(linkPath, line.SlavePath());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const TOptionsParse parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.Ok) {
    Complain(parsed.Error);
    std::fprintf(stderr, "Try 'servo-board-sim --help'.\n");
    return ExitRefused;
  }
  if (parsed.Options.Help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  const sigset_t waitMask = CatchStopSignals();
  try {
    return Serve(parsed.Options, waitMask);
  } catch (const std::exception& e) {
    Complain(e.what());
    return ExitSystem;
  }
}
