#include "insdlg.h"

#include <QLineEdit>

#include "errordisplay.h"
#include "hexaddress.h"
#include "pixelfont.h"
#include "uppercasevalidator.h"

TInsDlg* InsDlg = nullptr;
bool TInsDlg::FAddrLock = false;

namespace {

constexpr int CommandTextLength = 8;

}  // namespace

TInsDlg::TInsDlg(QWidget* owner) : QDialog(owner) {
  SetFormFont(this);
  setupUi(this);
  setFixedSize(size());
  AddrUpDown->SetAssociate(AddrEdit);
  PWMUpDown->SetAssociate(PWMEdit);
  DelayUpDown->SetAssociate(DelayEdit);
  CountUpDown->SetAssociate(CountEdit);
  IndexUpDown->SetAssociate(IndexEdit);
  NMEdit->lineEdit()->setMaxLength(CommandTextLength);
  NMEdit->setValidator(new TUpperCaseValidator(NMEdit));
  connect(AddrHexEdit, &QLineEdit::textChanged, this, ShowingErrors(this, &TInsDlg::AddrHexEditChange));
  connect(AddrEdit, &QLineEdit::textChanged, this, ShowingErrors(this, &TInsDlg::AddrEditChange));
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TInsDlg::AddrHexEditChange() { TakeHexAddress(*AddrHexEdit, *AddrUpDown, FAddrLock); }

void TInsDlg::AddrEditChange() { ShowHexAddress(*AddrHexEdit, *AddrUpDown, FAddrLock); }
