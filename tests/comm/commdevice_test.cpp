#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <chrono>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unistd.h>
#include <vector>

#include "commdevice.h"
#include "serial_posix.h"
#include "testsupport.h"

namespace {

constexpr int PortNumber = 5;
const std::thread::id MainThread = std::this_thread::get_id();

// Every notification the component delivered: its mask and the thread it ran on.
class TNotifyLog {
 public:
  void Bind(TCommDevice& device) {
    device.OnCommNotify = [this, &device](QObject* sender, std::uint32_t mask) {
      std::lock_guard<std::mutex> lock(FLock);
      FEntries.push_back({mask, std::this_thread::get_id(), sender == &device});
    };
  }
  int Count() const {
    std::lock_guard<std::mutex> lock(FLock);
    return static_cast<int>(FEntries.size());
  }
  bool Has(std::uint32_t bits) const { return FindThread(bits) != std::thread::id(); }
  // The thread of the first notification carrying all of `bits`.
  std::thread::id FindThread(std::uint32_t bits) const {
    std::lock_guard<std::mutex> lock(FLock);
    for (const Entry& e : FEntries)
      if ((e.Mask & bits) == bits) return e.Thread;
    return std::thread::id();
  }
  bool AllFromDevice() const {
    std::lock_guard<std::mutex> lock(FLock);
    for (const Entry& e : FEntries)
      if (!e.FromDevice) return false;
    return true;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(FLock);
    FEntries.clear();
  }

 private:
  struct Entry {
    std::uint32_t Mask;
    std::thread::id Thread;
    bool FromDevice;
  };
  mutable std::mutex FLock;
  std::vector<Entry> FEntries;
};

int ThreadCount() { return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); }

std::vector<std::uint8_t> Pattern(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i % 251);
  return bytes;
}

int OpenErrorCode(TCommDevice& device) {
  try {
    device.Open();
  } catch (const EComm32Error& e) {
    return e.Code();
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Without a port

TEST(CommError, MessagesOfTheCodes) {
  const std::vector<std::pair<int, QString>> table = {
      {1, "Out of memory"},
      {2, "Cannot initialize read buffer"},
      {3, "Cannot initialize write buffer"},
      {4, "Cannot open COM port"},
      {5, "Cannot set comm-mask"},
      {6, "Cannot set COM port buffer size"},
      {7, "Cannot read COM port parameters"},
      {8, "Cannot set COM port parameters"},
      {9, "Cannot create COM port asynchronize read event"},
      {10, "Cannot create COM port asynchronize write event"},
      {11, "Cannot create COM port read thread"},
      {12, "Cannot create COM port write thread"},
      {13, "Cannot close COM port read thread"},
      {14, "Cannot close COM port write thread"},
      {0, "Unknown error"},
      {15, "Unknown error"},
      {-1, "Unknown error"},
  };
  for (const auto& [code, text] : table) {
    const EComm32Error error(code);
    EXPECT_EQ(error.Code(), code);
    EXPECT_EQ(error.Message(), text);
    EXPECT_EQ(QString(error.what()), text);
  }
}

TEST(CommDeviceProperties, InitialValues) {
  TCommDevice device;
  EXPECT_EQ(device.PortNo(), 1);
  EXPECT_EQ(device.DeviceName(), "\\\\.\\COM1");
  EXPECT_FALSE(device.Active());
  EXPECT_EQ(device.Baud(), B115200);
  EXPECT_EQ(device.BaudRate(), 115200u);
  EXPECT_EQ(device.Parity(), NoParity);
  EXPECT_EQ(device.StopBits(), OneStopBit);
  EXPECT_EQ(device.ByteSize(), 8);
  EXPECT_EQ(device.InBufSize(), 8192);
  EXPECT_EQ(device.OutBufSize(), 8192);
  EXPECT_EQ(device.HwInSize(), 1200);
  EXPECT_EQ(device.HwOutSize(), 1200);
  EXPECT_EQ(device.FlowControl(), None);
  EXPECT_TRUE(device.SyncEvents());
  EXPECT_FALSE(device.DTR());
  EXPECT_FALSE(device.RTS());
  EXPECT_EQ(device.ModemStatus(), 0u);
}

TEST(CommDeviceProperties, BaudTable) {
  const std::uint32_t rates[] = {110,    300,    600,    1200,   2400,    4800,    9600,    14400,
                                 19200,  38400,  56000,  57600,  115200,  128000,  230400,  256000,
                                 460800, 512000, 921600, 1024000, 1500000, 3000000, 6000000, 12000000};
  TCommDevice device;
  for (int i = 0; i <= B12M; ++i) {
    const auto baud = static_cast<TBaudRate>(i);
    device.SetBaud(baud);
    EXPECT_EQ(device.BaudRate(), rates[i]);
    EXPECT_EQ(device.Baud(), baud);
    EXPECT_EQ(TCommDevice::BaudOfRate(rates[i]), baud);
  }
  EXPECT_EQ(device.BaudRate(), 12000000u);

  device.SetBaud(static_cast<TBaudRate>(30));
  EXPECT_EQ(device.BaudRate(), 115200u);
  for (std::uint32_t rate : {200u, 0u, 511999u})
    EXPECT_EQ(TCommDevice::BaudOfRate(rate), B115200);
}

TEST(CommDeviceProperties, OutOfRangeCodesStoreTheDefault) {
  TCommDevice device;
  device.SetParity(SpaceParity);
  EXPECT_EQ(device.Parity(), SpaceParity);
  device.SetParity(static_cast<TParity>(6));
  EXPECT_EQ(device.Parity(), NoParity);

  device.SetStopBits(TwoStopBit);
  EXPECT_EQ(device.StopBits(), TwoStopBit);
  device.SetStopBits(static_cast<TStopBits>(3));
  EXPECT_EQ(device.StopBits(), OneStopBit);

  device.SetByteSize(0x1207);
  EXPECT_EQ(device.ByteSize(), 7);
}

TEST(CommDeviceProperties, FlowControlReadsBackByItsBits) {
  const std::vector<std::pair<TFlowControl, TFlowControl>> table = {
      {RtsCts, RtsCts},
      {XonXoff, XonXoff},
      {TranXonXoff, XonXoff},
      {RtsCtsXonXoff, RtsCtsXonXoff},
      {None, None},
      {static_cast<TFlowControl>(7), None},
  };
  TCommDevice device;
  for (const auto& [written, read] : table) {
    device.SetFlowControl(written);
    EXPECT_EQ(device.FlowControl(), read) << written;
  }
}

TEST(CommDeviceProperties, PortNumberBuildsTheDeviceName) {
  TCommDevice device;
  device.SetPortNo(12);
  EXPECT_EQ(device.PortNo(), 12);
  EXPECT_EQ(device.DeviceName(), "\\\\.\\COM12");
}

TEST(CommDeviceProperties, QueueSizes) {
  TCommDevice device;
  device.SetInBufSize(100);
  device.SetOutBufSize(300);
  EXPECT_EQ(device.InBufSize(), 100);
  EXPECT_EQ(device.OutBufSize(), 300);
  EXPECT_EQ(device.ReceiveQueue().Capacity(), 100);
  EXPECT_EQ(device.SendQueue().Capacity(), 300);
}

TEST(CommDeviceNames, ResolvesThroughTheDosDevicesLink) {
  TTempCwd cwd;
  QDir().mkpath("dosdevices");
  ASSERT_TRUE(QFile::link("/dev/null", "dosdevices/com3"));
  ASSERT_TRUE(QFile::link(cwd.File("nowhere"), "dosdevices/com4"));  // leads nowhere
  const std::vector<std::pair<QString, QString>> table = {
      {"\\\\.\\COM3", "dosdevices/com3"},
      {"\\\\.\\COM4", "dosdevices/com4"},
      {"\\\\.\\COM1", "/dev/ttyS0"},
      {"\\\\.\\COM12", "/dev/ttyS11"},
      {"\\\\.\\COM0", ""},
      {"\\\\.\\COM-2", ""},
      {"\\\\.\\COMx", ""},
      {"COM3", ""},
      {"", ""},
  };
  for (const auto& [name, file] : table) EXPECT_EQ(TCommDevice::ResolveDeviceName(name), file) << name.toStdString();
}

// The device behind a name is the link's own target, not what that target
// leads to in turn: a stable name in front of a changing device stays one device.
TEST(CommDeviceNames, TheDeviceOfANameIsItsLinksTargetOrItsPath) {
  TTempCwd cwd;
  QDir().mkpath("dosdevices");
  ASSERT_TRUE(QFile::link("/dev/null", cwd.File("stable")));
  ASSERT_TRUE(QFile::link(cwd.File("stable"), "dosdevices/com3"));
  ASSERT_TRUE(QFile::link(cwd.File("nowhere"), "dosdevices/com4"));
  const std::vector<std::pair<QString, QString>> table = {
      {"\\\\.\\COM3", cwd.File("stable")},
      {"\\\\.\\COM4", cwd.File("nowhere")},
      {"\\\\.\\COM1", "/dev/ttyS0"},
      {"\\\\.\\COM0", ""},
  };
  for (const auto& [name, device] : table) EXPECT_EQ(TCommDevice::DeviceOf(name), device) << name.toStdString();
}

TEST(CommDeviceClosed, OperationsOnAClosedPortDoNothing) {
  TCommDevice device;
  const std::uint8_t bytes[] = {1, 2, 3};
  device.ReceiveQueue().Put(bytes, 3);
  EXPECT_EQ(device.Write(bytes, 3), 3);

  device.PurgeRead(true);
  device.PurgeWrite(true);
  device.Drain();
  EXPECT_EQ(device.ReceiveQueue().Filled(), 3);
  EXPECT_EQ(device.SendQueue().Filled(), 3);
  for (int function : {SETRTS, CLRRTS, SETDTR, CLRDTR}) EXPECT_FALSE(device.EscapeCommFunction(function));
  device.Close();
  EXPECT_FALSE(device.Active());
}

TEST(CommDeviceClosed, QueuesWithoutStorageRefuseToOpen) {
  TCommDevice device;
  device.SetInBufSize(0);
  EXPECT_EQ(OpenErrorCode(device), 2);
  device.SetInBufSize(64);
  device.SetOutBufSize(-1);
  EXPECT_EQ(OpenErrorCode(device), 3);
  EXPECT_FALSE(device.Active());
}

// ---------------------------------------------------------------------------
// Over a pseudo-terminal: the test plays the board on the master side.

class CommDevicePort : public ::testing::Test {
 protected:
  void SetUp() override {
    Pty.LinkAsCom(Cwd.Path(), PortNumber);
    Device.SetPortNo(PortNumber);
    Device.SetBaud(B512000);
    Log.Bind(Device);
  }

  void OpenDevice() {
    Device.SetActive(true);
    ASSERT_TRUE(Device.Active());
  }

  TTempCwd Cwd;
  TPtyPair Pty;
  TNotifyLog Log;  // outlives the component, which notifies as it closes
  TCommDevice Device;
};

TEST_F(CommDevicePort, RemembersTheDeviceItWasOpenedOnAfterClosing) {
  EXPECT_TRUE(Device.OpenedDevice().isEmpty());
  OpenDevice();
  EXPECT_EQ(Device.OpenedDevice(), QString::fromStdString(Pty.SlavePath()));
  Device.SetActive(false);
  EXPECT_EQ(Device.OpenedDevice(), QString::fromStdString(Pty.SlavePath()));
}

TEST_F(CommDevicePort, OpensByItsComNameAndRunsAtTheExactRate) {
  const int slave = ::open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(slave, 0);
  OpenDevice();
  std::uint32_t outRate = 0, inRate = 0;
  EXPECT_TRUE(Serial::ReadLineRates(slave, outRate, inRate));
  EXPECT_EQ(outRate, 512000u);
  EXPECT_EQ(inRate, 512000u);
  ::close(slave);

  ASSERT_TRUE(WaitUntil([&] { return Log.Has(EV_MODEM); }, 2000));
  EXPECT_EQ(Log.FindThread(EV_MODEM), MainThread);
  EXPECT_TRUE(Log.AllFromDevice());
}

TEST_F(CommDevicePort, OpenAndCloseRunTheHandlersAndNotify) {
  int afterOpen = 0, beforeClose = 0;
  Device.AfterOpen = [&](QObject* sender) { afterOpen += sender == &Device; };
  Device.BeforeClose = [&](QObject* sender) {
    beforeClose += sender == &Device;
    EXPECT_TRUE(Device.Active());
  };
  OpenDevice();
  Device.Open();  // open already: nothing happens
  EXPECT_EQ(afterOpen, 1);
  PumpEvents(50);
  EXPECT_EQ(Log.Count(), 1);
  EXPECT_TRUE(Log.Has(EV_MODEM));

  Log.Clear();
  Device.SetActive(false);
  Device.Close();  // closed already: no handler, no notification
  EXPECT_EQ(beforeClose, 1);
  PumpEvents(50);
  EXPECT_EQ(Log.Count(), 1);
  EXPECT_TRUE(Log.Has(EV_MODEM));
}

TEST_F(CommDevicePort, WritingALinePropertyClosesThePort) {
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"PortNo", [&] { Device.SetPortNo(PortNumber); }},
      {"Baud", [&] { Device.SetBaud(B9600); }},
      {"Parity", [&] { Device.SetParity(EvenParity); }},
      {"StopBits", [&] { Device.SetStopBits(TwoStopBit); }},
      {"ByteSize", [&] { Device.SetByteSize(7); }},
      {"HwInSize", [&] { Device.SetHwInSize(4096); }},
      {"HwOutSize", [&] { Device.SetHwOutSize(4096); }},
      {"FlowControl", [&] { Device.SetFlowControl(XonXoff); }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    OpenDevice();
    PumpEvents(10);
    Log.Clear();
    change();
    EXPECT_FALSE(Device.Active());
    EXPECT_TRUE(WaitUntil([&] { return Log.Has(EV_MODEM); }, 2000));
    PumpEvents(20);
    EXPECT_FALSE(Device.Active());  // nothing reopens it
  }
}

TEST_F(CommDevicePort, QueueSizesChangeWithoutClosing) {
  OpenDevice();
  Device.SetInBufSize(100);
  Device.SetOutBufSize(200);
  EXPECT_TRUE(Device.Active());
  EXPECT_EQ(Device.InBufSize(), 100);

  Pty.Write(Pattern(150));
  ASSERT_TRUE(WaitUntil([&] { return Device.ReceiveQueue().Filled() == 99; }, 2000));
  PumpEvents(50);
  EXPECT_EQ(Device.ReceiveQueue().Filled(), 99);  // the rest did not fit and is lost
  EXPECT_TRUE(WaitUntil([&] { return Device.LostBytes() == 51; }, 2000)) << Device.LostBytes() << " counted as lost";
  std::vector<std::uint8_t> got(99);
  EXPECT_EQ(Device.Read(got.data(), 99), 99);
  const auto sent = Pattern(99);
  EXPECT_EQ(got, sent);
}

TEST_F(CommDevicePort, BytesArriveAndNotifyOnTheUserInterfaceThread) {
  OpenDevice();
  Pty.Write({0x10, 0x20, 0x30});
  ASSERT_TRUE(WaitUntil([&] { return Log.Has(EV_RXCHAR); }, 2000));
  EXPECT_EQ(Log.FindThread(EV_RXCHAR), MainThread);
  EXPECT_TRUE(Log.AllFromDevice());

  ASSERT_TRUE(WaitUntil([&] { return Device.ReceiveQueue().Filled() == 3; }, 2000));
  std::uint8_t got[8] = {};
  EXPECT_EQ(Device.Read(got, 8), 3);
  EXPECT_EQ(std::vector<std::uint8_t>(got, got + 3), (std::vector<std::uint8_t>{0x10, 0x20, 0x30}));
  EXPECT_EQ(Device.Read(got, 8), 0);
}

TEST_F(CommDevicePort, WithoutSyncEventsTheReaderThreadNotifies) {
  Device.SetSyncEvents(false);
  OpenDevice();
  Pty.Write({1, 2, 3, 4});
  ASSERT_TRUE(WaitUntil([&] { return Log.Has(EV_RXCHAR); }, 2000));
  const std::thread::id reader = Log.FindThread(EV_RXCHAR);
  EXPECT_NE(reader, MainThread);
  EXPECT_EQ(Log.FindThread(EV_MODEM), MainThread);  // the open itself notifies from here
}

TEST_F(CommDevicePort, TheEventCharacterIsReportedWithTheBytes) {
  OpenDevice();
  Pty.Write({5, 6});
  ASSERT_TRUE(WaitUntil([&] { return Log.Has(EV_RXCHAR); }, 2000));
  EXPECT_FALSE(Log.Has(EV_RXFLAG));
  Pty.Write({7, 0, 8});  // the event character is 0
  EXPECT_TRUE(WaitUntil([&] { return Log.Has(EV_RXCHAR | EV_RXFLAG); }, 2000));
}

TEST_F(CommDevicePort, WrittenBytesReachTheBoardInOrder) {
  OpenDevice();
  const auto bytes = Pattern(5000);  // many writer chunks
  std::size_t queued = 0;
  std::vector<std::uint8_t> got;
  while (got.size() < bytes.size()) {
    if (queued < bytes.size())
      queued += static_cast<std::size_t>(
          Device.Write(bytes.data() + queued, static_cast<std::int32_t>(bytes.size() - queued)));
    const auto part = Pty.Read(bytes.size() - got.size(), 200);
    if (part.empty()) break;
    got.insert(got.end(), part.begin(), part.end());
  }
  EXPECT_EQ(got, bytes);
  Device.Drain();
  EXPECT_EQ(Device.SendQueue().Filled(), 0);
}

TEST_F(CommDevicePort, BytesWrittenWhileClosedGoOutAfterOpen) {
  const std::vector<std::uint8_t> bytes = {0xFE, 0xAC, 1, 2, 3};
  EXPECT_EQ(Device.Write(bytes.data(), 5), 5);
  EXPECT_EQ(Device.SendQueue().Filled(), 5);
  OpenDevice();
  EXPECT_EQ(Pty.Read(5, 2000), bytes);
}

TEST_F(CommDevicePort, ClosedAndReopenedPortKeepsWorking) {
  OpenDevice();
  Device.SetActive(false);
  OpenDevice();
  Pty.Write({9});
  EXPECT_TRUE(Device.WaitForReceive(2000));
  const std::uint8_t out = 0x42;
  Device.Write(&out, 1);
  EXPECT_EQ(Pty.Read(1, 2000), std::vector<std::uint8_t>{0x42});
}

TEST_F(CommDevicePort, AMissingDeviceCannotBeOpened) {
  ASSERT_TRUE(QFile::link(Cwd.File("nowhere"), "dosdevices/com9"));
  for (int port : {9, 999}) {  // a link leading nowhere; no link and no /dev/ttyS998
    SCOPED_TRACE(port);
    Device.SetPortNo(port);
    try {
      Device.Open();
      ADD_FAILURE() << "opened";
    } catch (const EComm32Error& e) {
      EXPECT_EQ(e.Code(), 4);
      EXPECT_EQ(e.Message(), "Cannot open COM port");
    }
    EXPECT_FALSE(Device.Active());
  }
  PumpEvents(20);
  EXPECT_EQ(Log.Count(), 0);
}

TEST_F(CommDevicePort, LineSettingsTheTerminalCannotTakeFailToOpen) {
  Device.SetByteSize(9);
  EXPECT_EQ(OpenErrorCode(Device), 8);
  EXPECT_FALSE(Device.Active());
  Device.SetByteSize(8);  // nothing was left open
  OpenDevice();
}

TEST_F(CommDevicePort, ASecondComponentCannotOpenTheSamePort) {
  OpenDevice();
  TCommDevice second;
  second.SetPortNo(PortNumber);
  EXPECT_EQ(OpenErrorCode(second), 4);
  EXPECT_FALSE(second.Active());

  Pty.Write({1});
  EXPECT_TRUE(Device.WaitForReceive(2000));  // the first one still works

  Device.SetActive(false);
  second.SetActive(true);
  EXPECT_TRUE(second.Active());
}

TEST_F(CommDevicePort, PurgesEmptyTheQueues) {
  OpenDevice();
  Pty.Write({1, 2, 3});
  ASSERT_TRUE(WaitUntil([&] { return Device.ReceiveQueue().Filled() == 3; }, 2000));
  Device.PurgeRead(true);
  EXPECT_EQ(Device.ReceiveQueue().Filled(), 0);
  Device.PurgeWrite(true);
  EXPECT_EQ(Device.SendQueue().Filled(), 0);

  Pty.Write({4});
  ASSERT_TRUE(Device.WaitForReceive(2000));
  std::uint8_t got = 0;
  EXPECT_EQ(Device.Read(&got, 1), 1);
  EXPECT_EQ(got, 4);
}

TEST_F(CommDevicePort, ControlLineWishesTakeEffectAtOpen) {
  Device.SetDTR(false);
  EXPECT_FALSE(Device.DTR());
  OpenDevice();
  EXPECT_FALSE(Device.DTR());
  EXPECT_TRUE(Device.RTS());
  Device.SetActive(false);
  EXPECT_FALSE(Device.RTS());  // closed lines read false

  Device.SetDTR(true);
  Device.SetRTS(false);
  OpenDevice();
  EXPECT_TRUE(Device.DTR());
  EXPECT_FALSE(Device.RTS());
}

TEST_F(CommDevicePort, ADeviceWithoutModemLinesRefusesLineFunctions) {
  OpenDevice();
  EXPECT_FALSE(Device.EscapeCommFunction(CLRDTR));  // a pseudo-terminal has no modem lines
  EXPECT_TRUE(Device.DTR());
  EXPECT_FALSE(Device.EscapeCommFunction(99));
  EXPECT_EQ(Device.ModemStatus(), 0u);
}

TEST_F(CommDevicePort, WaitForReceiveWakesWhenBytesArrive) {
  OpenDevice();
  std::thread board([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    Pty.Write({0x77});
  });
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(Device.WaitForReceive(20000));
  EXPECT_LT(clock.elapsed(), 20000);  // woken, not timed out
  board.join();
  EXPECT_TRUE(Device.WaitForReceive(0));  // bytes already waiting
}

TEST_F(CommDevicePort, WaitForReceiveTimesOutWithoutBytes) {
  OpenDevice();
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(Device.WaitForReceive(100));
  EXPECT_GE(clock.elapsed(), 99);
}

TEST_F(CommDevicePort, CloseEndsBothThreads) {
  const int before = ThreadCount();
  OpenDevice();
  EXPECT_EQ(ThreadCount(), before + 2);
  Device.SetActive(false);
  EXPECT_EQ(ThreadCount(), before);
}

TEST_F(CommDevicePort, DrainGivesUpWhenTheLineDoesNotTakeTheBytes) {
  OpenDevice();
  // The board reads nothing: the pseudo-terminal fills up and the writer waits.
  const auto bytes = Pattern(400000);
  std::size_t queued = 0;
  const int full = Device.OutBufSize() - 1;
  for (int round = 0; round < 400 && queued < bytes.size(); ++round) {
    queued += static_cast<std::size_t>(Device.Write(bytes.data() + queued, full));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (Device.SendQueue().Filled() == full) break;
  }
  ASSERT_EQ(Device.SendQueue().Filled(), full);

  Device.Drain();
  // Drain came back although the board took nothing: what it has not read
  // waits in the send queue or in the pseudo-terminal (how much of it the
  // pseudo-terminal holds depends on the kernel's buffers).
  int unread = 0;
  ASSERT_EQ(ioctl(Pty.MasterFd(), FIONREAD, &unread), 0);
  EXPECT_GT(Device.SendQueue().Filled() + unread, 0);

  // Once the board reads, everything queued goes out in order.
  const auto got = Pty.Read(queued, 20000);
  EXPECT_EQ(got, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(queued)));
}

TEST_F(CommDevicePort, LostPortIsReportedOnceOnTheUserInterfaceThread) {
  int lost = 0;
  std::thread::id lostThread;
  Device.OnPortLost = [&](QObject* sender) {
    lost += sender == &Device;
    lostThread = std::this_thread::get_id();
    Device.SetActive(false);  // as the link module does
  };
  OpenDevice();
  PumpEvents(20);
  Log.Clear();

  Pty.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return lost > 0; }, 3000));
  PumpEvents(300);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(lostThread, MainThread);
  EXPECT_FALSE(Device.Active());
  EXPECT_LE(Log.Count(), 1);  // the close's own notification, no storm
}

TEST_F(CommDevicePort, LostPortEndsTheReaderEvenWhenTheOwnerKeepsItOpen) {
  int lost = 0;
  Device.OnPortLost = [&](QObject*) { ++lost; };
  OpenDevice();
  const int withThreads = ThreadCount();
  PumpEvents(20);

  Pty.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return lost > 0; }, 3000));
  const int notified = Log.Count();
  PumpEvents(300);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(Log.Count(), notified);
  EXPECT_EQ(ThreadCount(), withThreads - 1);  // the reader has ended
  EXPECT_TRUE(Device.Active());

  Device.Drain();  // gives up at once on a lost port
  Device.SetActive(false);
  EXPECT_FALSE(Device.Active());
}

TEST_F(CommDevicePort, HandlerErrorsAreSwallowed) {
  TErrorRecorder errors;
  Device.AfterOpen = [](QObject*) { throw std::runtime_error("after open"); };
  Device.BeforeClose = [](QObject*) { throw std::runtime_error("before close"); };
  Device.OnCommNotify = [](QObject*, std::uint32_t) { throw std::runtime_error("notify"); };
  OpenDevice();
  Pty.Write({1, 2});
  ASSERT_TRUE(WaitUntil([&] { return Device.ReceiveQueue().Filled() == 2; }, 2000));
  PumpEvents(50);
  Device.SetActive(false);
  PumpEvents(20);
  EXPECT_FALSE(Device.Active());
  EXPECT_TRUE(errors.Texts().isEmpty());
}

TEST_F(CommDevicePort, DeletingTheComponentDropsPendingNotifications) {
  bool notified = false;
  auto* device = new TCommDevice;
  device->SetPortNo(PortNumber);
  device->OnCommNotify = [&](QObject*, std::uint32_t) { notified = true; };
  device->SetActive(true);
  Pty.Write({1, 2, 3});
  ASSERT_TRUE(device->WaitForReceive(2000));  // posted, not yet delivered
  delete device;
  PumpEvents(50);
  EXPECT_FALSE(notified);
}

}  // namespace
