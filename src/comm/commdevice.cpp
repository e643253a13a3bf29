#include "commdevice.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

#include "serial_posix.h"

// The device name format of a port number.
static const char* const Fmt_COMn = "\\\\.\\COM%d";

namespace {

constexpr std::int32_t QueueCapacity = 8192;
constexpr std::int32_t ReadChunkSize = 2048;
constexpr std::int32_t WriteChunkSize = 256;
// Modem lines that the driver reports are looked at least this often.
constexpr int ModemCheckMs = 50;
// Close waits this many rounds of CloseRoundMs for the threads to end.
constexpr int CloseRounds = 100;
constexpr auto CloseRoundMs = std::chrono::milliseconds(5);
// Drain gives up after this margin plus the time the queued bytes need.
constexpr auto DrainMargin = std::chrono::milliseconds(1000);
constexpr auto LineSentStepMax = std::chrono::milliseconds(50);

constexpr std::uint32_t BaudRates[] = {110,    300,    600,    1200,   2400,    4800,    9600,    14400,
                                       19200,  38400,  56000,  57600,  115200,  128000,  230400,  256000,
                                       460800, 512000, 921600, 1024000, 1500000, 3000000, 6000000, 12000000};
constexpr int BaudRateCount = sizeof BaudRates / sizeof BaudRates[0];

const QEvent::Type NotifyEventType = static_cast<QEvent::Type>(QEvent::User + 2);
const QEvent::Type PortLostEventType = static_cast<QEvent::Type>(QEvent::User + 3);

// Events reach the user-interface thread through Qt's event queue, whose
// locks a ThreadSanitizer build cannot see (Qt itself is not instrumented).
// The handover is declared to it, so that an event written by the reader
// thread and read and freed by the user-interface thread is not taken for a
// race. Elsewhere these do nothing.
#if defined(__SANITIZE_THREAD__)
#define SERVO_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SERVO_THREAD_SANITIZER 1
#endif
#endif
#ifdef SERVO_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
void HandOver(QEvent* e) { __tsan_release(e); }
void TakeOver(QEvent* e) { __tsan_acquire(e); }
#else
void HandOver(QEvent*) {}
void TakeOver(QEvent*) {}
#endif

// An event posted to the hidden window; it is taken over when it is
// delivered, and also when it is dropped undelivered.
class TPostedEvent : public QEvent {
 public:
  explicit TPostedEvent(QEvent::Type type) : QEvent(type) {}
  ~TPostedEvent() override { TakeOver(this); }
};

void Post(QObject* receiver, TPostedEvent* e) {
  HandOver(e);
  QCoreApplication::postEvent(receiver, e);
}

// A notification on its way to the user-interface thread.
class TCommNotifyMessage : public TPostedEvent {
 public:
  TCommNotifyMessage(QObject* sender, std::uint32_t mask) : TPostedEvent(NotifyEventType), Sender(sender), Mask(mask) {}
  QObject* const Sender;
  const std::uint32_t Mask;
};

// Runs an owner's handler; what it raises must neither reach the threads of
// the component nor break its opening and closing.
template <typename Handler, typename... Args>
void CallSwallowingErrors(const Handler& handler, Args... args) {
  if (!handler) return;
  try {
    handler(args...);
  } catch (...) {
  }
}

std::uint32_t EventIfChanged(std::uint32_t before, std::uint32_t now, std::uint32_t statusBit, std::uint32_t event) {
  return ((before ^ now) & statusBit) ? event : 0;
}

// The port events between two modem status words. A CTS that came on while
// the output waits for it also means the output can go on.
std::uint32_t ModemEvents(std::uint32_t before, std::uint32_t now, bool ctsFlow) {
  std::uint32_t events = EventIfChanged(before, now, Serial::MS_CTS_ON, EV_CTS) |
                         EventIfChanged(before, now, Serial::MS_DSR_ON, EV_DSR) |
                         EventIfChanged(before, now, Serial::MS_RLSD_ON, EV_RLSD);
  if ((events & EV_CTS) && ctsFlow && (now & Serial::MS_CTS_ON)) events |= EV_TXEMPTY;
  return events;
}

void PutFlowControl(Serial::TLineSettings& line, TFlowControl flow) {
  const bool cts = flow == RtsCts || flow == RtsCtsXonXoff;
  const bool xonXoff = flow == XonXoff || flow == TranXonXoff || flow == RtsCtsXonXoff;
  line.OutxCtsFlow = cts;
  line.RtsControl = cts ? Serial::RTS_CONTROL_HANDSHAKE : Serial::RTS_CONTROL_ENABLE;
  line.OutX = xonXoff;
  line.InX = xonXoff;
  line.DtrControl = Serial::DTR_CONTROL_ENABLE;
}

bool DriveLine(int port, Serial::TModemLine line, bool on, bool& state) {
  if (!Serial::SetModemLine(port, line, on)) return false;
  state = on;
  return true;
}

QString DeviceNameOf(std::int32_t port) { return QString::asprintf(Fmt_COMn, port); }

}  // namespace

// The hidden window: lives on the user-interface thread and hands the
// notifications posted by the reader thread to the component.
class TCommNotifyWindow : public QObject {
 public:
  explicit TCommNotifyWindow(TCommDevice& device) : FDevice(device) {}

  bool event(QEvent* e) override {
    TakeOver(e);
    if (e->type() == NotifyEventType) {
      const auto* message = static_cast<TCommNotifyMessage*>(e);
      FDevice.CommNotify(message->Sender, message->Mask);
    } else if (e->type() == PortLostEventType) {
      FDevice.NotifyPortLost();
    }
    return QObject::event(e);
  }

 private:
  TCommDevice& FDevice;
};

struct TCommDevice::TPlatform {
  int Port = -1;
  int ReaderStop = -1;
  int WriterStop = -1;
  int WriteRequest = -1;
  Serial::TLineSettings Line;
};

// ---------------------------------------------------------------------------
// EComm32Error

EComm32Error::EComm32Error(int code) : Exception(MessageOf(code)), FCode(code) {}

QString EComm32Error::MessageOf(int code) {
  static const char* const Messages[] = {"Out of memory",
                                         "Cannot initialize read buffer",
                                         "Cannot initialize write buffer",
                                         "Cannot open COM port",
                                         "Cannot set comm-mask",
                                         "Cannot set COM port buffer size",
                                         "Cannot read COM port parameters",
                                         "Cannot set COM port parameters",
                                         "Cannot create COM port asynchronize read event",
                                         "Cannot create COM port asynchronize write event",
                                         "Cannot create COM port read thread",
                                         "Cannot create COM port write thread",
                                         "Cannot close COM port read thread",
                                         "Cannot close COM port write thread"};
  constexpr int count = sizeof Messages / sizeof Messages[0];
  return code >= 1 && code <= count ? QString(Messages[code - 1]) : QString("Unknown error");
}

// ---------------------------------------------------------------------------
// TCommQueue

TCommQueue::TCommQueue(std::int32_t capacity) : FCapacity(capacity) {
  try {
    SetSize(capacity);
  } catch (const EComm32Error&) {
    SetSize(0);
  }
}

TCommQueue::~TCommQueue() = default;

void TCommQueue::SetSize(std::int32_t size) {
  std::lock_guard<std::mutex> lock(FLock);
  FRead = 0;
  FWrite = 0;
  if (size <= 0) {
    FStorage.reset();
    FCapacity = 0;
    return;
  }
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
  if (!block) throw EComm32Error(1);
  FStorage = std::move(block);
  FCapacity = size;
}

namespace {

// (a - b) mod capacity for indices in 0 .. capacity - 1, without overflow.
std::int32_t RingDistance(std::int32_t a, std::int32_t b, std::int32_t capacity) {
  const std::int64_t d = static_cast<std::int64_t>(a) - b;
  return static_cast<std::int32_t>(d < 0 ? d + capacity : d);
}

}  // namespace

std::int32_t TCommQueue::Put(const std::uint8_t* bytes, std::int32_t count) {
  std::lock_guard<std::mutex> lock(FLock);
  if (!FStorage || count <= 0 || !bytes) return 0;
  const std::int32_t free = FCapacity - 1 - RingDistance(FWrite, FRead, FCapacity);
  const std::int32_t n = std::min(count, free);
  const std::int32_t first = std::min(n, FCapacity - FWrite);
  std::memcpy(FStorage.get() + FWrite, bytes, static_cast<std::size_t>(first));
  std::memcpy(FStorage.get(), bytes + first, static_cast<std::size_t>(n - first));
  FWrite = RingDistance(FWrite, FCapacity - n, FCapacity);  // FWrite + n, wrapped
  return n;
}

std::int32_t TCommQueue::Get(std::uint8_t* buffer, std::int32_t count) {
  std::lock_guard<std::mutex> lock(FLock);
  if (!FStorage || count <= 0 || !buffer) return 0;
  const std::int32_t n = std::min(count, RingDistance(FWrite, FRead, FCapacity));
  const std::int32_t first = std::min(n, FCapacity - FRead);
  std::memcpy(buffer, FStorage.get() + FRead, static_cast<std::size_t>(first));
  std::memcpy(buffer + first, FStorage.get(), static_cast<std::size_t>(n - first));
  FRead = RingDistance(FRead, FCapacity - n, FCapacity);  // FRead + n, wrapped
  return n;
}

void TCommQueue::Clear() {
  std::lock_guard<std::mutex> lock(FLock);
  FRead = 0;
  FWrite = 0;
}

std::int32_t TCommQueue::Capacity() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FCapacity;
}

std::int32_t TCommQueue::Filled() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FStorage ? RingDistance(FWrite, FRead, FCapacity) : 0;
}

bool TCommQueue::HasStorage() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FStorage != nullptr;
}

void TCommQueue::SetIndices(std::int32_t read, std::int32_t write) {
  std::lock_guard<std::mutex> lock(FLock);
  const auto inRange = [this](std::int32_t index) { return index >= 0 && index < FCapacity; };
  if (!FStorage || !inRange(read) || !inRange(write)) return;
  FRead = read;
  FWrite = write;
}

std::int32_t TCommQueue::ReadIndex() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FRead;
}

std::int32_t TCommQueue::WriteIndex() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FWrite;
}

// ---------------------------------------------------------------------------
// TCommDevice: construction and properties

TCommDevice::TCommDevice(QObject* owner)
    : QObject(owner),
      FPlatform(std::make_unique<TPlatform>()),
      FReadQueue(std::make_unique<TCommQueue>(QueueCapacity)),
      FWriteQueue(std::make_unique<TCommQueue>(QueueCapacity)),
      FHiddenWindow(new TCommNotifyWindow(*this)),
      FDeviceName(DeviceNameOf(FPortNo)) {}

TCommDevice::~TCommDevice() {
  try {
    Close();
  } catch (...) {
  }
  FWriteQueue.reset();
  FReadQueue.reset();
  delete FHiddenWindow;  // drops the notifications still pending for it
  FHiddenWindow = nullptr;
}

bool TCommDevice::event(QEvent* e) { return QObject::event(e); }

TBaudRate TCommDevice::BaudOfRate(std::uint32_t rate) {
  const auto found = std::find(std::begin(BaudRates), std::end(BaudRates), rate);
  return found == std::end(BaudRates) ? B115200 : static_cast<TBaudRate>(found - std::begin(BaudRates));
}

std::uint32_t TCommDevice::RateOfBaud(TBaudRate baud) {
  const int index = static_cast<int>(baud);
  return index >= 0 && index < BaudRateCount ? BaudRates[index] : 115200;
}

void TCommDevice::CloseLineFor(const std::function<void()>& change) {
  Close();
  change();
}

std::int32_t TCommDevice::PortNo() const { return FPortNo; }

void TCommDevice::SetPortNo(std::int32_t port) {
  CloseLineFor([&] {
    FPortNo = port;
    FDeviceName = DeviceNameOf(port);
  });
}

QString TCommDevice::DeviceName() const { return FDeviceName; }

bool TCommDevice::Active() const { return FActive; }

void TCommDevice::SetActive(bool active) {
  if (active)
    Open();
  else
    Close();
}

TBaudRate TCommDevice::Baud() const { return BaudOfRate(FPlatform->Line.BaudRate); }

void TCommDevice::SetBaud(TBaudRate baud) {
  CloseLineFor([&] { FPlatform->Line.BaudRate = RateOfBaud(baud); });
}

std::uint32_t TCommDevice::BaudRate() const { return FPlatform->Line.BaudRate; }

TParity TCommDevice::Parity() const { return static_cast<TParity>(FPlatform->Line.Parity); }

void TCommDevice::SetParity(TParity parity) {
  const int code = static_cast<int>(parity);
  CloseLineFor([&] { FPlatform->Line.Parity = static_cast<std::uint8_t>(code >= 0 && code <= 4 ? code : 0); });
}

TStopBits TCommDevice::StopBits() const { return static_cast<TStopBits>(FPlatform->Line.StopBits); }

void TCommDevice::SetStopBits(TStopBits stopBits) {
  const int code = static_cast<int>(stopBits);
  CloseLineFor([&] { FPlatform->Line.StopBits = static_cast<std::uint8_t>(code >= 0 && code <= 2 ? code : 0); });
}

std::int32_t TCommDevice::ByteSize() const { return FPlatform->Line.ByteSize; }

void TCommDevice::SetByteSize(std::int32_t size) {
  CloseLineFor([&] { FPlatform->Line.ByteSize = static_cast<std::uint8_t>(size & 0xFF); });
}

std::int32_t TCommDevice::InBufSize() const { return FReadQueue->Capacity(); }

void TCommDevice::SetInBufSize(std::int32_t size) { FReadQueue->SetSize(size); }

std::int32_t TCommDevice::OutBufSize() const { return FWriteQueue->Capacity(); }

void TCommDevice::SetOutBufSize(std::int32_t size) { FWriteQueue->SetSize(size); }

std::int32_t TCommDevice::HwInSize() const { return FHwInSize; }

void TCommDevice::SetHwInSize(std::int32_t size) {
  CloseLineFor([&] { FHwInSize = size; });
}

std::int32_t TCommDevice::HwOutSize() const { return FHwOutSize; }

void TCommDevice::SetHwOutSize(std::int32_t size) {
  CloseLineFor([&] { FHwOutSize = size; });
}

TFlowControl TCommDevice::FlowControl() const {
  const Serial::TLineSettings& line = FPlatform->Line;
  if (line.OutxCtsFlow && line.OutX) return RtsCtsXonXoff;
  if (line.OutxCtsFlow) return RtsCts;
  if (line.OutX) return XonXoff;
  return None;
}

void TCommDevice::SetFlowControl(TFlowControl flow) {
  CloseLineFor([&] { PutFlowControl(FPlatform->Line, flow); });
}

bool TCommDevice::SyncEvents() const { return FSyncEvents; }

void TCommDevice::SetSyncEvents(bool sync) { FSyncEvents = sync; }

bool TCommDevice::DTR() const { return Active() && FDTRState; }

void TCommDevice::SetDTR(bool on) {
  if (Active())
    EscapeCommFunction(on ? SETDTR : CLRDTR);
  else
    FDTRWish = on;
}

bool TCommDevice::RTS() const { return Active() && FRTSState; }

void TCommDevice::SetRTS(bool on) {
  if (Active())
    EscapeCommFunction(on ? SETRTS : CLRRTS);
  else
    FRTSWish = on;
}

std::uint32_t TCommDevice::ModemStatus() const { return FModemStatus; }

QString TCommDevice::ResolveDeviceName(const QString& deviceName) {
  const QString prefix = QString::fromLatin1(Fmt_COMn).chopped(2);  // the name without "%d"
  if (!deviceName.startsWith(prefix)) return QString();
  bool ok = false;
  const int number = deviceName.mid(prefix.size()).toInt(&ok);
  if (!ok || number < 1) return QString();
  const QString link = QString("dosdevices/com%1").arg(number);
  const QFileInfo entry(link);
  // A link that leads nowhere still names the port: opening it fails, rather
  // than some other port being opened in its place.
  if (entry.exists() || entry.isSymLink()) return link;
  return QString("/dev/ttyS%1").arg(number - 1);
}

QString TCommDevice::DeviceOf(const QString& deviceName) {
  const QString resolved = ResolveDeviceName(deviceName);
  if (resolved.isEmpty()) return resolved;
  const QFileInfo entry(resolved);
  return entry.isSymLink() ? entry.symLinkTarget() : entry.absoluteFilePath();
}

// ---------------------------------------------------------------------------
// Opening and closing

void TCommDevice::Open() {
  if (Active()) return;
  FPortLost = false;
  const int code = OpenSteps();
  if (code != 0) {
    Close();
    throw EComm32Error(code);
  }
  Serial::RaiseToHighestPriority(FReader);
  FOpenedDevice = DeviceOf(FDeviceName);
  FActive = true;
  std::uint32_t status = 0;
  FModemStatus = Serial::ReadModemStatus(FPlatform->Port, status) ? status : 0;
  TakeLineStatesFromModes();
  _EvComm(EV_MODEM);
  CommAfterOpen();
}

int TCommDevice::OpenSteps() {
  TPlatform& p = *FPlatform;
  if (!FReadQueue->HasStorage()) return 2;
  if (!FWriteQueue->HasStorage()) return 3;
  p.Port = Serial::OpenPortFile(QFile::encodeName(ResolveDeviceName(FDeviceName)).toStdString());
  if (p.Port < 0) return 4;
  // The kernel sizes its own queues: the requested driver buffer sizes need
  // no setting up here.
  SetControlModesFromWishes();
  switch (Serial::ApplyLineSettings(p.Port, p.Line)) {
    case Serial::TLineResult::CannotRead:
      return 7;
    case Serial::TLineResult::CannotApply:
      return 8;
    case Serial::TLineResult::Applied:
      break;
  }
  DriveControlLines();
  p.ReaderStop = Serial::CreateEvent();
  if (p.ReaderStop < 0) return 9;
  p.WriterStop = Serial::CreateEvent();
  p.WriteRequest = Serial::CreateEvent();
  if (p.WriterStop < 0 || p.WriteRequest < 0) return 10;
  if (!StartThread(FReader, FReaderRun, FReaderAlive, &TCommDevice::_ReadThread)) return 11;
  if (!StartThread(FWriter, FWriterRun, FWriterAlive, &TCommDevice::_WriteThread)) return 12;
  return 0;
}

void TCommDevice::SetControlModesFromWishes() {
  Serial::TLineSettings& line = FPlatform->Line;
  if (line.DtrControl != Serial::DTR_CONTROL_HANDSHAKE)
    line.DtrControl = FDTRWish ? Serial::DTR_CONTROL_ENABLE : Serial::DTR_CONTROL_DISABLE;
  if (line.RtsControl != Serial::RTS_CONTROL_HANDSHAKE && line.RtsControl != Serial::RTS_CONTROL_TOGGLE)
    line.RtsControl = FRTSWish ? Serial::RTS_CONTROL_ENABLE : Serial::RTS_CONTROL_DISABLE;
}

// Puts the DTR and RTS lines into the state their modes ask for; lines under
// handshake are left to the driver. A device without modem lines (a
// pseudo-terminal) refuses, which changes nothing.
void TCommDevice::DriveControlLines() {
  const TPlatform& p = *FPlatform;
  if (p.Line.DtrControl != Serial::DTR_CONTROL_HANDSHAKE)
    Serial::SetModemLine(p.Port, Serial::TModemLine::DTR, p.Line.DtrControl == Serial::DTR_CONTROL_ENABLE);
  if (p.Line.RtsControl == Serial::RTS_CONTROL_ENABLE || p.Line.RtsControl == Serial::RTS_CONTROL_DISABLE)
    Serial::SetModemLine(p.Port, Serial::TModemLine::RTS, p.Line.RtsControl == Serial::RTS_CONTROL_ENABLE);
}

bool TCommDevice::StartThread(std::thread& thread, std::atomic<bool>& run, std::atomic<bool>& alive,
                              void (TCommDevice::*body)()) {
  run = true;
  alive = true;  // cleared by the thread as it ends
  try {
    thread = std::thread(body, this);
  } catch (const std::system_error&) {
    run = false;
    alive = false;
    return false;
  }
  return true;
}

void TCommDevice::TakeLineStatesFromModes() {
  FDTRState = FPlatform->Line.DtrControl != Serial::DTR_CONTROL_DISABLE;
  FRTSState = FPlatform->Line.RtsControl != Serial::RTS_CONTROL_DISABLE;
}

void TCommDevice::Close() {
  // The reader cannot wait for its own end (a handler running on it with
  // SyncEvents false must leave the closing to the user-interface thread).
  if (FReader.joinable() && std::this_thread::get_id() == FReader.get_id()) throw EComm32Error(13);
  const bool wasActive = Active();
  if (wasActive) CommBeforeClose();
  const bool writerHung = StopThreads();
  ReleaseEvents();
  if (FPlatform->Port >= 0) Serial::ClosePortFile(FPlatform->Port);
  FPlatform->Port = -1;
  TakeLineStatesFromModes();
  if (wasActive) {
    FActive = false;
    FModemStatus = 0;
    _EvComm(EV_MODEM);
  }
  if (writerHung) throw EComm32Error(14);
}

bool TCommDevice::StopThreads() {
  FReaderRun = false;
  FWriterRun = false;
  for (int stop : {FPlatform->ReaderStop, FPlatform->WriterStop})
    if (stop >= 0) Serial::SetEvent(stop);
  for (int round = 0; round < CloseRounds && (FReaderAlive || FWriterAlive); ++round)
    std::this_thread::sleep_for(CloseRoundMs);
  const bool writerHung = FWriterAlive;
  // The threads wait on nothing but the stop events and the port, so they do
  // end; the events are released only after that.
  for (std::thread* thread : {&FReader, &FWriter})
    if (thread->joinable()) thread->join();
  return writerHung;
}

void TCommDevice::ReleaseEvents() {
  Serial::CloseEvent(FPlatform->ReaderStop);
  Serial::CloseEvent(FPlatform->WriteRequest);
  Serial::CloseEvent(FPlatform->WriterStop);
}

// ---------------------------------------------------------------------------
// Notifications

void TCommDevice::CommNotify(QObject* sender, std::uint32_t notifyType) {
  CallSwallowingErrors(OnCommNotify, sender, notifyType);
}

void TCommDevice::CommAfterOpen() { CallSwallowingErrors(AfterOpen, static_cast<QObject*>(this)); }

void TCommDevice::CommBeforeClose() { CallSwallowingErrors(BeforeClose, static_cast<QObject*>(this)); }

void TCommDevice::NotifyPortLost() { CallSwallowingErrors(OnPortLost, static_cast<QObject*>(this)); }

void TCommDevice::_EvComm(std::uint32_t mask) {
  if (FSyncEvents)
    Post(FHiddenWindow, new TCommNotifyMessage(this, mask));
  else
    CommNotify(this, mask);
}

void TCommDevice::PortLostFromReader() {
  {
    std::lock_guard<std::mutex> lock(FWaitLock);
    FPortLost = true;
  }
  FSent.notify_all();  // a drain waiting for this port gives up
  Post(FHiddenWindow, new TPostedEvent(PortLostEventType));
}

// ---------------------------------------------------------------------------
// Reader thread

void TCommDevice::_ReadThread() {
  const int port = FPlatform->Port;
  const int stop = FPlatform->ReaderStop;
  std::uint32_t modem = 0;
  const bool watchModem = Serial::ReadModemStatus(port, modem);
  while (FReaderRun) {
    const Serial::TWaitResult wait =
        Serial::WaitFor(stop, port, Serial::TReady::Input, watchModem ? ModemCheckMs : -1);
    if (wait.Failed || wait.Stopped || !FReaderRun) break;
    std::uint32_t mask = 0;
    bool lost = wait.HungUp;
    if (wait.Ready && !ReceiveWaitingBytes(port, mask)) lost = true;
    if (watchModem) mask |= CheckModemLines(port, modem);
    if (mask != 0) _EvComm(mask);
    if (lost) {
      PortLostFromReader();
      break;
    }
  }
  FReaderAlive = false;
}

// Moves what the port has received into the receive queue; false when the
// port is gone.
bool TCommDevice::ReceiveWaitingBytes(int port, std::uint32_t& mask) {
  int waiting = Serial::WaitingInput(port);
  if (waiting < 0) return false;
  std::uint8_t chunk[ReadChunkSize];
  do {
    // Input was signalled: read a chunk even if the count said nothing, so
    // that a hang-up shows as the end of the file.
    const std::size_t want = waiting > 0 ? std::min(waiting, ReadChunkSize) : ReadChunkSize;
    const long n = Serial::ReadSome(port, chunk, want);
    if (n < 0) return false;
    if (n == 0) break;
    StoreReceived(chunk, static_cast<std::int32_t>(n), mask);
    waiting -= static_cast<int>(n);
  } while (waiting > 0);
  return true;
}

// Bytes that do not fit into the receive queue are lost; they are counted.
void TCommDevice::StoreReceived(const std::uint8_t* bytes, std::int32_t count, std::uint32_t& mask) {
  const std::int32_t stored = FReadQueue->Put(bytes, count);
  if (stored < count) FLostBytes += static_cast<std::uint64_t>(count - stored);
  mask |= EV_RXCHAR;
  if (std::memchr(bytes, static_cast<unsigned char>(FPlatform->Line.EvtChar), static_cast<std::size_t>(count)))
    mask |= EV_RXFLAG;
  std::lock_guard<std::mutex> lock(FWaitLock);  // a waiter is either waiting or sees the bytes
  FReceived.notify_all();
}

std::uint32_t TCommDevice::CheckModemLines(int port, std::uint32_t& lastStatus) {
  std::uint32_t status = 0;
  if (!Serial::ReadModemStatus(port, status)) return 0;
  const std::uint32_t events = ModemEvents(lastStatus, status, FPlatform->Line.OutxCtsFlow);
  lastStatus = status;
  FModemStatus = status;
  return events;
}

// ---------------------------------------------------------------------------
// Writer thread

void TCommDevice::_WriteThread() {
  while (FWriterRun && SendQueuedBytes() && WaitForWriteRequest()) {
  }
  {
    std::lock_guard<std::mutex> lock(FWaitLock);
    FWriterBusy = false;
    FWriterAlive = false;
  }
  FSent.notify_all();
}

// Sends the send queue chunk by chunk until it is empty; false when the
// writer has to end (stopped, or the port refuses the bytes).
bool TCommDevice::SendQueuedBytes() {
  std::uint8_t chunk[WriteChunkSize];
  while (FWriterRun) {
    const std::int32_t count = TakeChunk(chunk);
    if (count == 0) return true;
    if (!SendChunk(chunk, count)) return false;
  }
  return false;
}

// Takes the next chunk; the previous one has been sent, so a drain may look
// again.
std::int32_t TCommDevice::TakeChunk(std::uint8_t* chunk) {
  std::int32_t count = 0;
  {
    std::lock_guard<std::mutex> lock(FWaitLock);
    count = FWriteQueue->Get(chunk, WriteChunkSize);
    FWriterBusy = count > 0;
  }
  FSent.notify_all();
  return count;
}

bool TCommDevice::SendChunk(const std::uint8_t* chunk, std::int32_t count) {
  const int port = FPlatform->Port;
  std::int32_t sent = 0;
  while (sent < count) {
    const long n = Serial::WriteSome(port, chunk + sent, static_cast<std::size_t>(count - sent));
    if (n < 0) return false;
    if (n > 0) {
      sent += static_cast<std::int32_t>(n);
      continue;
    }
    const Serial::TWaitResult wait = Serial::WaitFor(FPlatform->WriterStop, port, Serial::TReady::Output, -1);
    if (wait.Failed || wait.Stopped || !FWriterRun || (wait.HungUp && !wait.Ready)) return false;
  }
  return true;
}

bool TCommDevice::WaitForWriteRequest() {
  const Serial::TWaitResult wait =
      Serial::WaitFor(FPlatform->WriterStop, FPlatform->WriteRequest, Serial::TReady::Input, -1);
  if (wait.Failed || wait.Stopped || !FWriterRun) return false;
  Serial::ResetEvent(FPlatform->WriteRequest);
  return true;
}

// ---------------------------------------------------------------------------
// Transfers

std::int32_t TCommDevice::Read(std::uint8_t* buffer, std::int32_t count) { return FReadQueue->Get(buffer, count); }

std::int32_t TCommDevice::Write(const std::uint8_t* bytes, std::int32_t count) {
  const std::int32_t queued = FWriteQueue->Put(bytes, count);
  SignalWriteRequest();
  return queued;
}

void TCommDevice::SignalWriteRequest() {
  if (FPlatform->WriteRequest >= 0) Serial::SetEvent(FPlatform->WriteRequest);
}

void TCommDevice::PurgeRead(bool) {
  if (!Active()) return;
  Serial::FlushInput(FPlatform->Port);
  FReadQueue->Clear();
}

void TCommDevice::PurgeWrite(bool) {
  if (!Active()) return;
  Serial::FlushOutput(FPlatform->Port);
  FWriteQueue->Clear();
}

bool TCommDevice::EscapeCommFunction(int function) {
  if (!Active()) return false;
  const int port = FPlatform->Port;
  switch (function) {
    case SETRTS:
    case CLRRTS:
      return DriveLine(port, Serial::TModemLine::RTS, function == SETRTS, FRTSState);
    case SETDTR:
    case CLRDTR:
      return DriveLine(port, Serial::TModemLine::DTR, function == SETDTR, FDTRState);
    default:
      return false;
  }
}

bool TCommDevice::WaitForReceive(int timeoutMs) {
  std::unique_lock<std::mutex> lock(FWaitLock);
  return FReceived.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                            [this] { return FReadQueue->Filled() > 0; });
}

// Waits until the writer has sent the send queue and the device its output
// queue. Gives up after a second more than the queued bytes need at the set
// rate, when the writer has ended or when the port is lost.
void TCommDevice::Drain() {
  if (!Active()) return;
  const int pending = std::max(Serial::PendingOutput(FPlatform->Port), 0);
  const auto deadline = std::chrono::steady_clock::now() + DrainMargin + ByteTime() * (FWriteQueue->Filled() + pending);
  WaitUntilWriterIdle(deadline);
  WaitUntilLineSent(deadline);
}

std::chrono::microseconds TCommDevice::ByteTime() const {
  const Serial::TLineSettings& line = FPlatform->Line;
  const std::int64_t bits = line.BitsPerByte();
  return std::chrono::microseconds((bits * 1000000 + line.BaudRate - 1) / line.BaudRate);
}

void TCommDevice::WaitUntilWriterIdle(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(FWaitLock);
  FSent.wait_until(lock, deadline, [this] {
    return !FWriterAlive || FPortLost || (!FWriterBusy && FWriteQueue->Filled() == 0);
  });
}

// The device's output queue is watched in steps of the time its bytes need,
// so the wait neither spins nor outlasts the deadline.
void TCommDevice::WaitUntilLineSent(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const int pending = Serial::PendingOutput(FPlatform->Port);
    const auto now = std::chrono::steady_clock::now();
    if (pending <= 0 || FPortLost || now >= deadline) return;
    const auto step = std::clamp<std::chrono::steady_clock::duration>(ByteTime() * pending,
                                                                       std::chrono::milliseconds(1), LineSentStepMax);
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(step, deadline - now));
  }
}
