#include "comm.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "convert.h"

TReceiveBuffer RxBuffer;
TCommMod* CommMod = nullptr;

std::uint32_t GetTickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

static void DropFront(TReceiveBuffer& buffer, std::int32_t count) {
  std::memmove(buffer.Bytes, buffer.Bytes + count, static_cast<std::size_t>(buffer.Count - count));
  buffer.Count -= count;
}

// A 0xFE ... 0x0A window that fails the frame test costs only its first
// byte: the twelve bytes may hold the start of a good frame (a stray 0xFE
// stands before it, or a damaged frame was cut short), and the scan goes on
// at the next byte. Only valid frames leave the finder.
bool FindFrame(TReceiveBuffer& buffer, std::uint8_t* destination) {
  const std::int32_t last = buffer.Count - static_cast<std::int32_t>(FrameSize);
  std::int32_t i = 0;
  for (; i <= last; ++i) {
    const std::uint8_t* window = buffer.Bytes + i;
    if (window[0] == FrameSync1 && window[FrameSize - 1] == FrameEnd && IsValidFrame(window)) {
      std::memcpy(destination, window, FrameSize);
      buffer.Skipped += static_cast<std::uint64_t>(i);
      DropFront(buffer, i + static_cast<std::int32_t>(FrameSize));
      return true;
    }
  }
  // Keep the last 11 bytes: they may hold the beginning of a frame.
  if (last >= 0) {
    buffer.Skipped += static_cast<std::uint64_t>(i);
    DropFront(buffer, i);
  }
  return false;
}

bool FindFrame(std::uint8_t* destination) { return FindFrame(RxBuffer, destination); }

TCommMod::TCommMod(QObject* owner) : QObject(owner), Uart(this) {
  Uart.SetPortNo(1);
  Uart.SetBaud(B512000);
  Uart.SetByteSize(8);
  Uart.SetInBufSize(8192);
  Uart.SetOutBufSize(8192);
  Uart.SetHwInSize(1200);
  Uart.SetHwOutSize(1200);
  Uart.OnCommNotify = [this](QObject* sender, std::uint32_t type) { UartCommNotify(sender, type); };
  Uart.OnPortLost = [this](QObject*) { UartPortLost(); };
}

TCommMod::~TCommMod() = default;

// "COM" in upper case followed by a whole number; anything else closes the port.
bool TCommMod::OpenPort(const QString& name) {
  if (name.size() < 4 || !name.startsWith(QLatin1String("COM"), Qt::CaseSensitive)) {
    Uart.SetActive(false);
    return false;
  }
  int number = 0;
  if (!TryStrToInt(name.mid(3), number)) {
    Uart.SetActive(false);
    return false;
  }
  if (number != Uart.PortNo()) {
    Uart.SetActive(false);
    Uart.SetPortNo(number);
  }
  if (!Uart.Active()) {
    try {
      Uart.SetActive(true);
    } catch (...) {
      return false;
    }
  }
  return true;
}

bool TCommMod::SendBytes(const std::uint8_t* bytes, std::int32_t count) {
  Uart.PurgeRead(true);
  if (Uart.Write(bytes, count) == count) {
    Uart.Drain();
    return true;
  }
  Uart.PurgeWrite(true);
  return false;
}

bool TCommMod::SendPayload(const TPayloadStu& payload) {
  const TFrame frame = BuildFrame(payload);
  return SendBytes(frame.data(), static_cast<std::int32_t>(frame.size()));
}

std::int32_t TCommMod::ReadAvailable(std::uint8_t* buffer, std::int32_t maximum) {
  const std::int32_t n = std::min(Uart.ReceiveQueue().Filled(), maximum);
  return n > 0 ? Uart.Read(buffer, n) : n;
}

static std::int32_t ReadIntoBuffer(TCommMod& mod) {
  const std::int32_t n = mod.ReadAvailable(RxBuffer.Bytes + RxBuffer.Count, ReceiveBufferSize - RxBuffer.Count);
  if (n > 0) RxBuffer.Count += n;
  return n;
}

// Takes every frame out of what has arrived, not only the first: a burst of
// reports (the answer to one poll) comes with a few notifications, and frames
// left behind would wait until the board happens to send again. Only the
// bytes waiting at the start are taken, so a steady stream cannot keep the
// user-interface thread here; later bytes come with their own notification.
void TCommMod::PollReceive() {
  std::int32_t budget = Uart.ReceiveQueue().Filled();
  while (budget > 0) {
    const std::int32_t n = ReadIntoBuffer(*this);
    if (n <= 0) return;
    budget -= n;
    std::uint8_t frame[FrameSize];
    while (FindFrame(frame)) Dispatch(PayloadOf(frame));
  }
}

// A line that never falls silent (reports streaming in while the answer was
// lost) would keep a wait alive for ever, since every arrival restarts its
// clock; the whole wait therefore ends after this many time-outs.
constexpr std::uint64_t WaitLimitInTimeOuts = 5;

// Waits for a frame whose command code is `code`. Frames that arrive
// meanwhile and do not match are dispatched as if they had come on their
// own. The time-out counts from the last arrival of any bytes, so a burst of
// reports ahead of the answer does not end the wait, but the wait as a whole
// ends after WaitLimitInTimeOuts time-outs. The wait sleeps on the reader
// thread's signal instead of spinning.
bool TCommMod::WaitAnswer(std::uint8_t code, TPayloadStu& answer, std::uint32_t timeoutMs) {
  const std::uint32_t begun = GetTickCount();
  const std::uint64_t limit = WaitLimitInTimeOuts * timeoutMs;
  std::uint32_t start = begun;
  for (;;) {
    if (ReadIntoBuffer(*this) < 1) {
      const std::uint32_t now = GetTickCount();
      const std::uint32_t waited = now - start;
      const std::uint64_t elapsed = now - begun;
      if (waited >= timeoutMs || elapsed >= limit) return false;
      Uart.WaitForReceive(static_cast<int>(std::min<std::uint64_t>(timeoutMs - waited, limit - elapsed)));
      continue;
    }
    start = GetTickCount();
    std::uint8_t frame[FrameSize];
    while (FindFrame(frame)) {
      const TPayloadStu payload = PayloadOf(frame);
      if (payload.Code() == code) {
        answer = payload;
        return true;
      }
      Dispatch(payload);
    }
    if (start - begun >= limit) return false;
  }
}

void TCommMod::UartCommNotify(QObject*, std::uint32_t notifyType) {
  if (notifyType & EV_RXCHAR) PollReceive();
}

bool TCommMod::Dispatch(const TPayloadStu& payload) { return OnDispatch ? OnDispatch(payload) : true; }

void TCommMod::UartPortLost() {
  try {
    Uart.SetActive(false);
  } catch (...) {
    // The writer of a vanished device may refuse to end in time; the port
    // counts as closed all the same.
  }
  emit PortLost();
}
