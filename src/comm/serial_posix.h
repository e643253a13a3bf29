// The POSIX serial layer under TCommDevice: opening a port file for the
// component alone, the line settings record and its translation into the
// kernel's terminal settings, event descriptors standing for the stop and
// write-request events, waits on them, non-blocking transfers, modem lines,
// purges and the output queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace Serial {

// How the DTR and RTS lines are driven while the port is open.
enum TDtrControl : std::uint8_t { DTR_CONTROL_DISABLE, DTR_CONTROL_ENABLE, DTR_CONTROL_HANDSHAKE };
enum TRtsControl : std::uint8_t { RTS_CONTROL_DISABLE, RTS_CONTROL_ENABLE, RTS_CONTROL_HANDSHAKE, RTS_CONTROL_TOGGLE };

// Modem status bits as the component reports them.
enum : std::uint32_t { MS_CTS_ON = 0x0010, MS_DSR_ON = 0x0020, MS_RING_ON = 0x0040, MS_RLSD_ON = 0x0080 };

// The line settings the component keeps while the port is closed and applies
// when it opens. Everything else the terminal needs is raw binary mode.
struct TLineSettings {
  std::uint32_t BaudRate = 115200;
  std::uint8_t ByteSize = 8;  // 5 to 8 can be applied
  std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  bool OutxCtsFlow = false;   // output waits for CTS
  TDtrControl DtrControl = DTR_CONTROL_ENABLE;
  TRtsControl RtsControl = RTS_CONTROL_ENABLE;
  bool OutX = false;  // XON/XOFF flow control of the output
  bool InX = false;   // XON/XOFF flow control of the input
  char XonChar = 0x11;
  char XoffChar = 0x13;
  char EvtChar = 0;  // its arrival is reported as a separate event

  // Bits on the wire per byte: start bit, data bits, parity bit, stop bits
  // (one and a half counts as two).
  int BitsPerByte() const;
};

// Opens a port file for reading and writing, non-blocking, without making it
// the controlling terminal, and for this component alone: an exclusive
// advisory lock (and exclusive terminal mode where allowed) makes a second
// opening fail. Returns the descriptor, or -1.
int OpenPortFile(const std::string& path);
// Gives up the exclusive mode and closes the descriptor.
void ClosePortFile(int fd);

enum class TLineResult { Applied, CannotRead, CannotApply };
// Reads the terminal's settings, puts raw mode and the record's values into
// them (the rate set exactly, whatever its value) and applies them.
TLineResult ApplyLineSettings(int fd, const TLineSettings& line);
// Reads back the output and input rates the terminal runs at.
bool ReadLineRates(int fd, std::uint32_t& outRate, std::uint32_t& inRate);

enum class TModemLine { DTR, RTS };
// Sets or clears a modem control line; false when the device refuses.
bool SetModemLine(int fd, TModemLine line, bool on);
// Reads the modem status as MS_* bits; false when the device has none.
bool ReadModemStatus(int fd, std::uint32_t& status);

// Discards what the device holds in its input or output queue.
bool FlushInput(int fd);
bool FlushOutput(int fd);
// Counts of bytes waiting in the device's input queue and still to be sent
// from its output queue; -1 when the device does not say.
int WaitingInput(int fd);
int PendingOutput(int fd);

// Reads up to `count` bytes without blocking. Interrupted or would-block reads
// are tried again a few times. Returns the count read, 0 when nothing could be
// read now, -1 when the port is gone (end of file, I/O error, no device).
long ReadSome(int fd, std::uint8_t* buffer, std::size_t count);
// Writes up to `count` bytes without blocking. Returns the count written, 0
// when the device cannot take bytes now, -1 on failure.
long WriteSome(int fd, const std::uint8_t* bytes, std::size_t count);

// Manual-reset events: set stays set until reset. Create returns -1 on failure.
int CreateEvent();
void SetEvent(int event);
void ResetEvent(int event);
void CloseEvent(int& event);

enum class TReady { Input, Output };
struct TWaitResult {
  bool Failed = false;   // the wait itself failed
  bool Stopped = false;  // the stop event is set
  bool Ready = false;    // the descriptor can be read or written
  bool HungUp = false;   // the descriptor reports a hang-up or an error
};
// Waits until the stop event is set or `fd` is ready for input or output (or
// reports a hang-up or error); timeoutMs < 0 waits without limit.
TWaitResult WaitFor(int stopEvent, int fd, TReady ready, int timeoutMs);

// Raises a thread above every normally scheduled one where the system allows
// it; without the privilege the thread keeps its priority.
void RaiseToHighestPriority(std::thread& thread);

}  // namespace Serial
