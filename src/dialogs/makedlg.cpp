#include "makedlg.h"

#include "data.h"
#include "pixelfont.h"

TMakeDlg* MakeDlg = nullptr;

TMakeDlg::TMakeDlg(QWidget* owner) : QDialog(owner) {
  SetFormFont(this);
  setupUi(this);
  setFixedSize(size());
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TMakeDlg::LoadChoices(const TConfigStu& config) {
  WaveSel->setCurrentIndex(config.WaveKind);
  MakePosCheck->setChecked(config.MakePos);
}

void TMakeDlg::StoreChoices(TConfigStu& config, TDataMod& store) const {
  if (WaveSel->currentIndex() != config.WaveKind) {
    config.WaveKind = WaveSel->currentIndex();
    store.UpdateWaveKind(config.WaveKind);
  }
  if (MakePosCheck->isChecked() != config.MakePos) {
    config.MakePos = MakePosCheck->isChecked();
    store.UpdateMakePos(config.MakePos);
  }
}
