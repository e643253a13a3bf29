#include "serial_posix.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace Serial {

namespace {

// Reads and writes that are interrupted or would block are tried this many
// times before the caller goes back to waiting.
constexpr int TransientRetries = 3;

bool IsTransient(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

std::uint32_t StatusBit(int lines, int line, std::uint32_t bit) { return (lines & line) ? bit : 0; }

}  // namespace

int TLineSettings::BitsPerByte() const { return 1 + ByteSize + (Parity != 0 ? 1 : 0) + (StopBits == 0 ? 1 : 2); }

int OpenPortFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  ::ioctl(fd, TIOCEXCL);  // refused for files that are not terminals; the lock still holds
  return fd;
}

void ClosePortFile(int fd) {
  // The exclusive mode outlives the descriptor on a pseudo-terminal whose
  // other side stays open: give it up first.
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
}

bool SetModemLine(int fd, TModemLine line, bool on) {
  int bits = line == TModemLine::DTR ? TIOCM_DTR : TIOCM_RTS;
  return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool ReadModemStatus(int fd, std::uint32_t& status) {
  int lines = 0;
  if (::ioctl(fd, TIOCMGET, &lines) != 0) return false;
  status = StatusBit(lines, TIOCM_CTS, MS_CTS_ON) | StatusBit(lines, TIOCM_DSR, MS_DSR_ON) |
           StatusBit(lines, TIOCM_RNG, MS_RING_ON) | StatusBit(lines, TIOCM_CAR, MS_RLSD_ON);
  return true;
}

bool FlushInput(int fd) { return ::tcflush(fd, TCIFLUSH) == 0; }

bool FlushOutput(int fd) { return ::tcflush(fd, TCOFLUSH) == 0; }

int WaitingInput(int fd) {
  int count = 0;
  return ::ioctl(fd, FIONREAD, &count) == 0 ? count : -1;
}

int PendingOutput(int fd) {
  int count = 0;
  return ::ioctl(fd, TIOCOUTQ, &count) == 0 ? count : -1;
}

long ReadSome(int fd, std::uint8_t* buffer, std::size_t count) {
  for (int attempt = 0; attempt < TransientRetries; ++attempt) {
    const ssize_t n = ::read(fd, buffer, count);
    if (n > 0) return n;
    if (n == 0 || !IsTransient(errno)) return -1;  // end of file is a hang-up
  }
  return 0;
}

long WriteSome(int fd, const std::uint8_t* bytes, std::size_t count) {
  for (int attempt = 0; attempt < TransientRetries; ++attempt) {
    const ssize_t n = ::write(fd, bytes, count);
    if (n >= 0) return n;
    if (!IsTransient(errno)) return -1;
  }
  return 0;
}

int CreateEvent() { return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

void SetEvent(int event) {
  const eventfd_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(event, &one, sizeof one);
}

void ResetEvent(int event) {
  eventfd_t value = 0;
  [[maybe_unused]] const ssize_t n = ::read(event, &value, sizeof value);  // EAGAIN when not set
}

void CloseEvent(int& event) {
  if (event >= 0) ::close(event);
  event = -1;
}

TWaitResult WaitFor(int stopEvent, int fd, TReady ready, int timeoutMs) {
  const short wanted = ready == TReady::Input ? POLLIN : POLLOUT;
  pollfd fds[2] = {{stopEvent, POLLIN, 0}, {fd, wanted, 0}};
  int count = 0;
  do {
    count = ::poll(fds, 2, timeoutMs);
  } while (count < 0 && errno == EINTR);
  TWaitResult result;
  result.Failed = count < 0 || (fds[0].revents & (POLLERR | POLLNVAL)) != 0;
  result.Stopped = (fds[0].revents & POLLIN) != 0;
  result.Ready = (fds[1].revents & wanted) != 0;
  result.HungUp = (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  return result;
}

void RaiseToHighestPriority(std::thread& thread) {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_RR);
  pthread_setschedparam(thread.native_handle(), SCHED_RR, &param);  // no privilege: stays as it is
}

}  // namespace Serial
