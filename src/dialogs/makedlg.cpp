#include "makedlg.h"

#include "pixelfont.h"

TMakeDlg* MakeDlg = nullptr;

TMakeDlg::TMakeDlg(QWidget* owner) : QDialog(owner) {
  SetFormFont(this);
  setupUi(this);
  setFixedSize(size());
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}
