// Reconnecting: after "Port lost" the user-interface thread's timer looks
// about once a second, without blocking, for the device the port was open on
// (the same dosdevices link target or device path) to be there again, and
// then opens the port again. The stored port is not written, the run state
// is not touched and nothing is sent to the board. Choosing another port
// ends the watch.
#include <QFileInfo>

#include "comm.h"
#include "errordisplay.h"
#include "mainform.h"

namespace {

constexpr int PortWatchInterval = 1000;

}  // namespace

void TMainForm::SetupPortWatch() {
  PortWatch.setObjectName(QStringLiteral("PortWatch"));
  PortWatch.setInterval(PortWatchInterval);
  connect(&PortWatch, &QTimer::timeout, this, ShowingErrors(this, &TMainForm::PortWatchTimer));
}

// A port never opened has no device to wait for.
void TMainForm::WatchLostPort() {
  if (CommMod && !CommMod->Uart.OpenedDevice().isEmpty()) PortWatch.start();
}

void TMainForm::StopPortWatch() { PortWatch.stop(); }

// A name that now leads to another device (or to none) is not taken: only
// the device that went away counts as the port coming back.
void TMainForm::PortWatchTimer() {
  if (!CommMod || CommMod->Uart.Active()) {
    StopPortWatch();
    return;
  }
  const QString device = TCommDevice::DeviceOf(CommMod->Uart.DeviceName());
  if (device != CommMod->Uart.OpenedDevice() || !QFileInfo::exists(device)) return;
  if (!CommMod->OpenPort(FConfig.COMPort)) return;
  StopPortWatch();
  PortSel->setCurrentIndex(PortSel->findText(FConfig.COMPort, Qt::MatchFixedString));
  UpdateControls();
  ShowStatus(QStringLiteral("Port back"));
}
