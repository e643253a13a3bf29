// Terminal settings through termios2, so that any rate (512000 baud among
// them) is set exactly. Its header clashes with <termios.h> and with the
// component's rate names, so this file includes neither.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "serial_posix.h"

namespace Serial {

namespace {

void MakeRaw(termios2& t) {
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  // CIBAUD cleared: the input runs at the output rate.
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

bool PutByteSize(termios2& t, std::uint8_t size) {
  static const tcflag_t Sizes[] = {CS5, CS6, CS7, CS8};
  if (size < 5 || size > 8) return false;
  t.c_cflag |= Sizes[size - 5];
  return true;
}

bool PutParity(termios2& t, std::uint8_t parity) {
  static const tcflag_t Flags[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
  if (parity > 4) return false;
  t.c_cflag |= Flags[parity];
  return true;
}

// The terminal knows one or two stop bits; one and a half is what a UART
// sends for "two" at 5 data bits.
bool PutStopBits(termios2& t, std::uint8_t stopBits) {
  if (stopBits > 2) return false;
  if (stopBits != 0) t.c_cflag |= CSTOPB;
  return true;
}

bool PutRate(termios2& t, std::uint32_t rate) {
  if (rate == 0) return false;  // a zero rate would hang the line up
  t.c_cflag |= BOTHER;
  t.c_ospeed = rate;
  t.c_ispeed = rate;
  return true;
}

void PutFlowControl(termios2& t, const TLineSettings& line) {
  // The terminal ties CTS output flow and the RTS input handshake together.
  if (line.OutxCtsFlow || line.RtsControl == RTS_CONTROL_HANDSHAKE) t.c_cflag |= CRTSCTS;
  if (line.OutX) t.c_iflag |= IXON;
  if (line.InX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(line.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(line.XoffChar);
}

bool PutLineSettings(termios2& t, const TLineSettings& line) {
  MakeRaw(t);
  if (!PutByteSize(t, line.ByteSize) || !PutParity(t, line.Parity) || !PutStopBits(t, line.StopBits) ||
      !PutRate(t, line.BaudRate))
    return false;
  PutFlowControl(t, line);
  return true;
}

}  // namespace

TLineResult ApplyLineSettings(int fd, const TLineSettings& line) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return TLineResult::CannotRead;
  if (!PutLineSettings(t, line)) return TLineResult::CannotApply;
  if (::ioctl(fd, TCSETS2, &t) != 0) return TLineResult::CannotApply;
  return TLineResult::Applied;
}

bool ReadLineRates(int fd, std::uint32_t& outRate, std::uint32_t& inRate) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return false;
  outRate = t.c_ospeed;
  inRate = t.c_ispeed;
  return true;
}

}  // namespace Serial
