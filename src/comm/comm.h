// The device link module: opens the serial port by its name, sends one
// request frame at a time, collects incoming bytes in a 24-byte receive
// buffer, finds and checks frames there and waits for the answer to a
// request. Frames nobody waits for go to the dispatcher (DispatchPayload in
// the main window's unit), which is bound through OnDispatch.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "commdevice.h"
#include "frame.h"

constexpr int ReceiveBufferSize = 24;  // room for two frames

// The unit's receive buffer, kept for the whole run.
struct TReceiveBuffer {
  std::uint8_t Bytes[ReceiveBufferSize] = {};
  std::int32_t Count = 0;
  // Bytes the finder has passed over because they belonged to no valid
  // frame (noise, damaged frames); a figure for benchmarks and tests.
  std::uint64_t Skipped = 0;
};
extern TReceiveBuffer RxBuffer;

// Takes the first valid frame out of the receive buffer, with every byte
// before it. A 0xFE ... 0x0A window that fails the frame test is passed over
// one byte at a time. When no frame is found, drops all but the last 11
// bytes (they may begin a frame).
bool FindFrame(std::uint8_t* destination);
bool FindFrame(TReceiveBuffer& buffer, std::uint8_t* destination);

class TCommMod : public QObject {
  Q_OBJECT
 public:
  explicit TCommMod(QObject* owner = nullptr);
  ~TCommMod() override;

  TCommDevice Uart;

  // Hands a valid frame that nobody waits for to the dispatcher; returns
  // false only for a device error other than 0.
  std::function<bool(const TPayloadStu&)> OnDispatch;

  bool OpenPort(const QString& name);
  bool SendBytes(const std::uint8_t* bytes, std::int32_t count);
  bool SendPayload(const TPayloadStu& payload);
  std::int32_t ReadAvailable(std::uint8_t* buffer, std::int32_t maximum);
  void PollReceive();
  bool WaitAnswer(std::uint8_t code, TPayloadStu& answer, std::uint32_t timeoutMs);
  void UartCommNotify(QObject* sender, std::uint32_t notifyType);

 signals:
  // The open port went away (adapter unplugged, line hung up); the port has
  // been closed.
  void PortLost();

 private:
  bool Dispatch(const TPayloadStu& payload);
  void UartPortLost();
};

extern TCommMod* CommMod;

// The system's millisecond tick as an unsigned 32-bit value that wraps.
std::uint32_t GetTickCount();
