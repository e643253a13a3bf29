// servo-board-sim as a child process on COMn of a test's working directory,
// for tests that drive it with the program's own objects. The child is made
// with fork and exec: QProcess may start it the vfork way, running the child
// in this process's memory until it execs, which ThreadSanitizer cannot
// follow (it takes the child's steps for the main thread's and loses track of
// that thread's locks).
#pragma once

#include <QString>
#include <QStringList>
#include <csignal>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

class TBoardProcess {
 public:
  TBoardProcess(const QString& dir, int n, const QStringList& extra = {}) {
    std::vector<std::string> args = {qEnvironmentVariable("SERVO_BOARD_SIM").toStdString(), "--com",
                                     std::to_string(n), "--dir", dir.toStdString()};
    for (const QString& a : extra) args.push_back(a.toStdString());
    // Built before the fork: the child may only exec.
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("no pipe for the virtual board");
    FPid = ::fork();
    if (FPid == 0) Exec(argv, out[1]);
    ::close(out[1]);
    const bool announced = FPid > 0 && WaitForOutput(out[0], 5000);
    ::close(out[0]);
    if (!announced) {
      Stop();
      throw std::runtime_error("the virtual board did not start");
    }
  }
  ~TBoardProcess() { Stop(); }
  TBoardProcess(const TBoardProcess&) = delete;
  TBoardProcess& operator=(const TBoardProcess&) = delete;

 private:
  [[noreturn]] static void Exec(const std::vector<char*>& argv, int output) {
    ::dup2(output, STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }

  // The board prints its link once it serves.
  static bool WaitForOutput(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    char c = 0;
    return ::poll(&p, 1, timeoutMs) > 0 && ::read(fd, &c, 1) == 1;
  }

  void Stop() {
    if (FPid <= 0) return;
    ::kill(FPid, SIGTERM);
    ::waitpid(FPid, nullptr, 0);
    FPid = -1;
  }

  pid_t FPid = -1;
};
