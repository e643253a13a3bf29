// The instruction editor: a modal dialog in which the operator builds or
// changes one instruction word. A type list decides which controls are
// shown: the address panel (bus and hexadecimal address) and at most one page
// of type-specific values. The dialog only moves values between its controls
// and the word it is handed; its callers keep the program and store it.
#pragma once

#include <QDialog>

#include "insword.h"
#include "ui_insdlg.h"

class TInsDlg : public QDialog, public Ui::TInsDlg {
  Q_OBJECT

 public:
  explicit TInsDlg(QWidget* owner = nullptr);

  // For a new instruction: the type and every control keep the values of
  // the previous use.
  void PrepareAdd();
  // Shows the word; a type code that names no instruction selects no type.
  void LoadInst(const TInsStu& word);
  // Writes the type code and the fields of the selected type into the word;
  // every other bit keeps what the word held. With no type selected the
  // word is left as it is.
  void StoreInst(TInsStu& word) const;

  // Shows the address panel and the page of the selected type, the page
  // just below the panel or, without it, where the panel would be.
  void TypeSelChange();
  void AddrHexEditChange();
  void AddrEditChange();

 private:
  void LoadAddress(const TInsStu& word);
  void StoreAddress(TInsStu& word) const;
  void StoreCommand(TInsStu& word) const;

  static bool FAddrLock;  // this dialog's own address lock
};

extern TInsDlg* InsDlg;
