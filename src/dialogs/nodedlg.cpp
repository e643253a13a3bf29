#include "nodedlg.h"

#include "errordisplay.h"
#include "hexaddress.h"
#include "pixelfont.h"

TNodeDlg* NodeDlg = nullptr;
bool TNodeDlg::FAddrLock = false;

namespace {

constexpr int CANItem = 0;
constexpr int RS485Item = 1;
constexpr std::int32_t CANBus = 1;
constexpr std::int32_t RS485Bus = 2;

}  // namespace

TNodeDlg::TNodeDlg(QWidget* owner) : QDialog(owner) {
  SetFormFont(this);
  setupUi(this);
  setFixedSize(size());
  AddrUpDown->SetAssociate(AddrEdit);
  AngleUpDown->SetAssociate(AngleEdit);
  IntervUpDown->SetAssociate(IntervEdit);
  connect(AddrHexEdit, &QLineEdit::textChanged, this, ShowingErrors(this, &TNodeDlg::AddrHexEditChange));
  connect(AddrEdit, &QLineEdit::textChanged, this, ShowingErrors(this, &TNodeDlg::AddrEditChange));
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TNodeDlg::PrepareAdd() { setWindowTitle(QStringLiteral("Add node")); }

void TNodeDlg::LoadNode(const TNodeStu& node) {
  setWindowTitle(QStringLiteral("Edit node"));
  NameEdit->setText(node.NodeName);
  AddrUpDown->SetPosition(node.Addr);
  // The box shows the loaded address even when the spin held it already.
  AddrEditChange();
  ChannelSel->setCurrentIndex(node.Channel == CANBus ? CANItem : RS485Item);
  AngleUpDown->SetPosition(node.Angle);
  IntervUpDown->SetPosition(node.Interv);
}

void TNodeDlg::StoreNode(TNodeStu& node) const {
  node.NodeName = NameEdit->text();
  node.Addr = AddrUpDown->Position();
  node.Channel = ChannelSel->currentIndex() == CANItem ? CANBus : RS485Bus;
  node.Angle = AngleUpDown->Position();
  node.Interv = IntervUpDown->Position();
}

void TNodeDlg::AddrHexEditChange() { TakeHexAddress(*AddrHexEdit, *AddrUpDown, FAddrLock); }

void TNodeDlg::AddrEditChange() { ShowHexAddress(*AddrHexEdit, *AddrUpDown, FAddrLock); }
