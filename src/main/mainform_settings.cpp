// The settings page and the view check boxes: showing the configuration
// record in the controls and writing each change of a control through to the
// database at once.
#include <QCheckBox>
#include <QSignalBlocker>

#include "comm.h"
#include "convert.h"
#include "data.h"
#include "errordisplay.h"
#include "exception.h"
#include "mainform.h"

TDataMod& TMainForm::Store() {
  if (!DataMod) throw Exception(QStringLiteral("The database module is not available"));
  return *DataMod;
}

// A change handler's common part: nothing happens when the control's value
// equals the record's field; otherwise the field takes the value first and
// then its column is updated (the result is not looked at). Returns whether
// the value changed.
template <typename T, typename Arg>
bool TMainForm::ChangeSetting(T& field, const T& value, bool (TDataMod::*update)(Arg)) {
  if (field == value) return false;
  field = value;
  (Store().*update)(value);
  return true;
}

QVector<QCheckBox*> TMainForm::ViewChecks() const { return {PWMCheck, PosCheck, CurrentCheck, TempCheck}; }

void TMainForm::BindSettings() {
  connect(PortSel, &QComboBox::activated, this, ShowingErrors(this, &TMainForm::PortSelChange));
  for (QCheckBox* check : ViewChecks()) {
    connect(check, &QCheckBox::clicked, this, ShowingErrors([this, check] { ViewCheckClick(check); }));
  }
  connect(RS485BaudSel, &QComboBox::activated, this, ShowingErrors(this, &TMainForm::RS485BaudSelChange));
  connect(CANBaudSel, &QComboBox::activated, this, ShowingErrors(this, &TMainForm::CANBaudSelChange));
  connect(IsExtCheck, &QCheckBox::clicked, this, ShowingErrors(this, &TMainForm::IsExtCheckClick));
  connect(PriEdit, &QLineEdit::textChanged, this, ShowingErrors(this, &TMainForm::PriEditChange));
  connect(AutoStartCheck, &QCheckBox::clicked, this, ShowingErrors(this, &TMainForm::AutoStartCheckClick));
  connect(AutoRptCheck, &QCheckBox::clicked, this, ShowingErrors(this, &TMainForm::AutoRptCheckClick));
  connect(PWMRptCheck, &QCheckBox::clicked, this, ShowingErrors(this, &TMainForm::PWMRptCheckClick));
}

// Shows the record in the controls. Nothing is written back: the combo
// boxes and check boxes report only the operator's actions, and the
// priority box, whose text may be cut to three characters, is kept quiet.
void TMainForm::ShowConfig() {
  PortSel->setCurrentIndex(PortSel->findText(FConfig.COMPort, Qt::MatchFixedString));
  for (QCheckBox* check : ViewChecks()) {
    check->setChecked((FConfig.ViewFlag >> check->property("tag").toInt()) & 1);
  }
  RS485BaudSel->setCurrentIndex(FConfig.RS485Baud);
  CANBaudSel->setCurrentIndex(FConfig.CANBaud);
  IsExtCheck->setChecked(FConfig.IsExtID);
  {
    const QSignalBlocker quiet(PriEdit);
    PriEdit->setText(QString::number(FConfig.Pri));
  }
  AutoStartCheck->setChecked(FConfig.AutoStart);
  AutoRptCheck->setChecked(FConfig.AutoRpt);
  PWMRptCheck->setChecked(FConfig.PWMRpt);
}

void TMainForm::OpenPortOrClearSelection(const QString& name) {
  if (!CommMod || !CommMod->OpenPort(name)) PortSel->setCurrentIndex(-1);
}

void TMainForm::PortSelChange() {
  if (!ChangeSetting(FConfig.COMPort, PortSel->currentText(), &TDataMod::UpdateCOMPort)) return;
  StopPortWatch();
  OpenPortOrClearSelection(FConfig.COMPort);
  UpdateControls();
}

void TMainForm::ViewCheckClick(QCheckBox* sender) {
  const int bit = 1 << sender->property("tag").toInt();
  const int oldFlags = FConfig.ViewFlag;
  const int newFlags = sender->isChecked() ? (oldFlags | bit) : (oldFlags & ~bit);
  if (ChangeSetting(FConfig.ViewFlag, newFlags, &TDataMod::UpdateViewFlag)) ApplyViewFlags(oldFlags);
}

void TMainForm::RS485BaudSelChange() {
  ChangeSetting(FConfig.RS485Baud, RS485BaudSel->currentIndex(), &TDataMod::UpdateRS485Baud);
}

void TMainForm::CANBaudSelChange() {
  ChangeSetting(FConfig.CANBaud, CANBaudSel->currentIndex(), &TDataMod::UpdateCANBaud);
}

void TMainForm::IsExtCheckClick() { ChangeSetting(FConfig.IsExtID, IsExtCheck->isChecked(), &TDataMod::UpdateIsExtID); }

// Text that is no whole number, the empty text included, counts as 0.
void TMainForm::PriEditChange() {
  int pri = 0;
  if (!TryStrToInt(PriEdit->text(), pri)) pri = 0;
  ChangeSetting(FConfig.Pri, pri, &TDataMod::UpdatePri);
}

void TMainForm::AutoStartCheckClick() {
  ChangeSetting(FConfig.AutoStart, AutoStartCheck->isChecked(), &TDataMod::UpdateAutoStart);
}

void TMainForm::AutoRptCheckClick() {
  ChangeSetting(FConfig.AutoRpt, AutoRptCheck->isChecked(), &TDataMod::UpdateAutoRpt);
}

void TMainForm::PWMRptCheckClick() {
  ChangeSetting(FConfig.PWMRpt, PWMRptCheck->isChecked(), &TDataMod::UpdatePWMRpt);
}

// Settings read back from the board: each one that differs is stored and
// shown; its control's own handler then finds it equal and writes nothing.
void TMainForm::TakeBoardSettings(const TBusConfigBlock& block) {
  if (ChangeSetting(FConfig.CANBaud, block.CANBaud, &TDataMod::UpdateCANBaud)) CANBaudSel->setCurrentIndex(block.CANBaud);
  if (ChangeSetting(FConfig.RS485Baud, block.RS485Baud, &TDataMod::UpdateRS485Baud))
    RS485BaudSel->setCurrentIndex(block.RS485Baud);
  if (ChangeSetting(FConfig.Pri, block.Pri, &TDataMod::UpdatePri)) PriEdit->setText(QString::number(block.Pri));
  if (ChangeSetting(FConfig.IsExtID, block.IsExtID, &TDataMod::UpdateIsExtID)) IsExtCheck->setChecked(block.IsExtID);
  if (ChangeSetting(FConfig.AutoStart, block.AutoStart, &TDataMod::UpdateAutoStart))
    AutoStartCheck->setChecked(block.AutoStart);
  if (ChangeSetting(FConfig.AutoRpt, block.AutoRpt, &TDataMod::UpdateAutoRpt)) AutoRptCheck->setChecked(block.AutoRpt);
  if (ChangeSetting(FConfig.PWMRpt, block.PWMRpt, &TDataMod::UpdatePWMRpt)) PWMRptCheck->setChecked(block.PWMRpt);
}

void TMainForm::PortLost() {
  PortSel->setCurrentIndex(-1);
  UpdateControls();
  ShowStatus(QStringLiteral("Port lost"));
  WatchLostPort();
}
