// The generator dialog: the operator picks a wave shape and whether the
// generated swing program reads positions.
#pragma once

#include <QDialog>

#include "records.h"
#include "ui_makedlg.h"

class TDataMod;

class TMakeDlg : public QDialog, public Ui::TMakeDlg {
  Q_OBJECT

 public:
  explicit TMakeDlg(QWidget* owner = nullptr);

  // Shows the record's wave shape and position-read choice.
  void LoadChoices(const TConfigStu& config);
  // Takes the shown choices into the record where they differ; a changed
  // choice is passed on to the store (the wave shape lasts for the run only).
  void StoreChoices(TConfigStu& config, TDataMod& store) const;
};

extern TMakeDlg* MakeDlg;
