// The instruction editor: a modal dialog in which the operator builds or
// changes one instruction word. A type list decides which controls are
// shown: the address panel (bus and hexadecimal address) and at most one page
// of type-specific values.
#pragma once

#include <QDialog>

#include "ui_insdlg.h"

class TInsDlg : public QDialog, public Ui::TInsDlg {
  Q_OBJECT

 public:
  explicit TInsDlg(QWidget* owner = nullptr);

  void AddrHexEditChange();
  void AddrEditChange();

 private:
  static bool FAddrLock;  // this dialog's own address lock
};

extern TInsDlg* InsDlg;
