// The serial port component: owns one serial port, a reader and a writer
// thread while the port is open, and two byte rings between those threads and
// the user-interface thread. Port events reach the owner as a notification
// with an event mask, posted to the user-interface thread through a hidden
// object (or delivered on the reader thread when SyncEvents is false).
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "exception.h"

class EComm32Error : public Exception {
 public:
  explicit EComm32Error(int code);
  int Code() const { return FCode; }
  static QString MessageOf(int code);

 private:
  int FCode;
};

// A byte ring with one producer and one consumer. Holds at most capacity - 1
// bytes, so that a full ring never looks empty. A lock guards the indices so
// that purges and resizing from one thread never race the other thread.
class TCommQueue {
 public:
  explicit TCommQueue(std::int32_t capacity);
  virtual ~TCommQueue();
  TCommQueue(const TCommQueue&) = delete;
  TCommQueue& operator=(const TCommQueue&) = delete;

  void SetSize(std::int32_t size);  // empties; raises EComm32Error 1 when out of memory
  std::int32_t Put(const std::uint8_t* bytes, std::int32_t count);
  std::int32_t Get(std::uint8_t* buffer, std::int32_t count);
  void Clear();

  std::int32_t Capacity() const;
  std::int32_t Filled() const;
  bool HasStorage() const;

  // For tests of the wrapping: place both indices.
  void SetIndices(std::int32_t read, std::int32_t write);
  std::int32_t ReadIndex() const;
  std::int32_t WriteIndex() const;

 private:
  mutable std::mutex FLock;
  std::int32_t FCapacity = 0;
  std::int32_t FRead = 0;
  std::int32_t FWrite = 0;
  std::unique_ptr<std::uint8_t[]> FStorage;
};

enum TBaudRate {
  B110, B300, B600, B1200, B2400, B4800, B9600, B14400, B19200, B38400, B56000, B57600,
  B115200, B128000, B230400, B256000, B460800, B512000, B921600, B1024000, B1M5, B3M, B6M, B12M
};
enum TParity { NoParity, OddParity, EvenParity, MarkParity, SpaceParity };
enum TStopBits { OneStopBit, One5StopBits, TwoStopBit };
enum TFlowControl { None, RtsCts, XonXoff, TranXonXoff, RtsCtsXonXoff };

// Port event mask bits, as passed to OnCommNotify.
enum : std::uint32_t {
  EV_RXCHAR = 0x0001,
  EV_RXFLAG = 0x0002,
  EV_TXEMPTY = 0x0004,
  EV_CTS = 0x0008,
  EV_DSR = 0x0010,
  EV_RLSD = 0x0020,
  EV_ERR = 0x0080,
  EV_RX80FULL = 0x0400,
  EV_MODEM = EV_CTS | EV_DSR | EV_RLSD,  // 0x0038
};

// EscapeCommFunction codes.
enum : int { SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6 };

class TCommDevice : public QObject {
  Q_OBJECT
 public:
  using TNotifyEvent = std::function<void(QObject* sender)>;
  using TCommNotifyEvent = std::function<void(QObject* sender, std::uint32_t notifyType)>;

  explicit TCommDevice(QObject* owner = nullptr);
  ~TCommDevice() override;

  // Properties.
  std::int32_t PortNo() const;
  void SetPortNo(std::int32_t port);  // closes the port
  QString DeviceName() const;         // "\\.\COMn"
  bool Active() const;
  void SetActive(bool active);  // Open or Close
  TBaudRate Baud() const;
  void SetBaud(TBaudRate baud);  // closes the port
  std::uint32_t BaudRate() const;  // the stored rate in baud
  TParity Parity() const;
  void SetParity(TParity parity);
  TStopBits StopBits() const;
  void SetStopBits(TStopBits stopBits);
  std::int32_t ByteSize() const;
  void SetByteSize(std::int32_t size);
  std::int32_t InBufSize() const;
  void SetInBufSize(std::int32_t size);  // resizes (empties) the receive queue; the port stays as it is
  std::int32_t OutBufSize() const;
  void SetOutBufSize(std::int32_t size);
  std::int32_t HwInSize() const;
  void SetHwInSize(std::int32_t size);  // closes the port
  std::int32_t HwOutSize() const;
  void SetHwOutSize(std::int32_t size);
  TFlowControl FlowControl() const;
  void SetFlowControl(TFlowControl flow);  // closes the port
  bool SyncEvents() const;
  void SetSyncEvents(bool sync);
  bool DTR() const;
  void SetDTR(bool on);
  bool RTS() const;
  void SetRTS(bool on);
  std::uint32_t ModemStatus() const;

  TCommNotifyEvent OnCommNotify;
  TNotifyEvent AfterOpen;
  TNotifyEvent BeforeClose;
  // Called on the user-interface thread when an open port goes away (the
  // device reports EIO or ENXIO, or the line hangs up). The component itself
  // stays Active until its owner closes it.
  TNotifyEvent OnPortLost;

  virtual void Open();
  virtual void Close();
  virtual void CommNotify(QObject* sender, std::uint32_t notifyType);
  virtual void CommAfterOpen();
  virtual void CommBeforeClose();
  virtual std::int32_t Read(std::uint8_t* buffer, std::int32_t count);
  virtual std::int32_t Write(const std::uint8_t* bytes, std::int32_t count);
  virtual void PurgeRead(bool abort);
  virtual void PurgeWrite(bool abort);
  virtual void Drain();
  virtual bool EscapeCommFunction(int function);

  TCommQueue& ReceiveQueue() { return *FReadQueue; }
  TCommQueue& SendQueue() { return *FWriteQueue; }
  // Received bytes lost because the receive queue was full, since creation.
  std::uint64_t LostBytes() const { return FLostBytes; }

  // Sleeps until the reader thread has put bytes into the receive queue, or
  // until the time is up; returns at once when bytes are already waiting.
  // Returns true when the receive queue holds bytes.
  bool WaitForReceive(int timeoutMs);

  // The file the device name resolves to: dosdevices/comN in the current
  // directory when that link exists, else /dev/ttyS<N-1>.
  static QString ResolveDeviceName(const QString& deviceName);
  // The device a device name leads to now: the target of its dosdevices
  // link, or the device path it resolves to; empty for a name of no port.
  static QString DeviceOf(const QString& deviceName);
  // The device the port was last opened on (see DeviceOf), kept after the
  // port closes, so that a port that went away can be told from another
  // device that turns up under the same name.
  QString OpenedDevice() const { return FOpenedDevice; }

  // The enumerator of a rate in baud (B115200 for a rate not in the table),
  // and the rate an enumerator stands for (115200 for a value outside it).
  static TBaudRate BaudOfRate(std::uint32_t rate);
  static std::uint32_t RateOfBaud(TBaudRate baud);

 protected:
  bool event(QEvent* e) override;  // unused; notifications go to the hidden object

 private:
  friend class TCommNotifyWindow;
  void _EvComm(std::uint32_t mask);
  void _ReadThread();
  void _WriteThread();
  void CloseLineFor(const std::function<void()>& change);
  void SignalWriteRequest();
  void PortLostFromReader();
  void NotifyPortLost();

  // Opening and closing.
  int OpenSteps();  // 0, or the error code of the step that failed
  void SetControlModesFromWishes();
  void DriveControlLines();
  bool StartThread(std::thread& thread, std::atomic<bool>& run, std::atomic<bool>& alive,
                   void (TCommDevice::*body)());
  bool StopThreads();  // true when the writer did not end in time
  void ReleaseEvents();
  void TakeLineStatesFromModes();

  // Reader thread.
  bool ReceiveWaitingBytes(int port, std::uint32_t& mask);
  void StoreReceived(const std::uint8_t* bytes, std::int32_t count, std::uint32_t& mask);
  std::uint32_t CheckModemLines(int port, std::uint32_t& lastStatus);

  // Writer thread.
  bool SendQueuedBytes();
  std::int32_t TakeChunk(std::uint8_t* chunk);
  bool SendChunk(const std::uint8_t* chunk, std::int32_t count);
  bool WaitForWriteRequest();

  // Drain.
  std::chrono::microseconds ByteTime() const;
  void WaitUntilWriterIdle(std::chrono::steady_clock::time_point deadline);
  void WaitUntilLineSent(std::chrono::steady_clock::time_point deadline);

  struct TPlatform;  // descriptors, events and line settings of the POSIX layer
  std::unique_ptr<TPlatform> FPlatform;
  std::unique_ptr<TCommQueue> FReadQueue;
  std::unique_ptr<TCommQueue> FWriteQueue;
  QObject* FHiddenWindow = nullptr;

  std::int32_t FPortNo = 1;
  QString FDeviceName;
  QString FOpenedDevice;
  std::atomic<bool> FActive{false};
  std::int32_t FHwInSize = 1200;
  std::int32_t FHwOutSize = 1200;
  std::atomic<bool> FSyncEvents{true};
  bool FDTRWish = true;
  bool FRTSWish = true;
  bool FDTRState = false;
  bool FRTSState = false;
  std::atomic<std::uint32_t> FModemStatus{0};

  std::thread FReader;
  std::thread FWriter;
  std::atomic<bool> FReaderRun{false};
  std::atomic<bool> FWriterRun{false};
  std::atomic<bool> FReaderAlive{false};
  std::atomic<bool> FWriterAlive{false};
  std::atomic<bool> FPortLost{false};
  std::atomic<std::uint64_t> FLostBytes{0};

  // Wake-ups for the user-interface thread's waits.
  std::mutex FWaitLock;
  std::condition_variable FReceived;  // the reader has put bytes
  std::condition_variable FSent;      // the writer has emptied its chunk or ended
  bool FWriterBusy = false;  // guarded by FWaitLock: the writer holds a chunk not yet sent
};
