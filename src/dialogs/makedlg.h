// The generator dialog: the operator picks a wave shape and whether the
// generated swing program reads positions.
#pragma once

#include <QDialog>

#include "ui_makedlg.h"

class TMakeDlg : public QDialog, public Ui::TMakeDlg {
  Q_OBJECT

 public:
  explicit TMakeDlg(QWidget* owner = nullptr);
};

extern TMakeDlg* MakeDlg;
