// The node editor: a modal dialog that moves the values of one node record
// (name, bus address, bus, angle, interval) into its controls and back. It
// never touches the database or the node list; its callers do.
#pragma once

#include <QDialog>

#include "records.h"
#include "ui_nodedlg.h"

class TNodeDlg : public QDialog, public Ui::TNodeDlg {
  Q_OBJECT

 public:
  explicit TNodeDlg(QWidget* owner = nullptr);

  // For a new node: the controls keep the values of the previous use.
  void PrepareAdd();
  void LoadNode(const TNodeStu& node);
  // Writes every field but ID; the spin positions are already clamped.
  void StoreNode(TNodeStu& node) const;

  void AddrHexEditChange();
  void AddrEditChange();

 private:
  static bool FAddrLock;  // shared by every use of the dialog
};

extern TNodeDlg* NodeDlg;
