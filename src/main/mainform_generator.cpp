// The MakeInst button: replaces the program with the swing program that the
// node list calls for, after the operator has chosen the wave shape and
// whether positions are read.
#include <QTreeWidget>

#include "data.h"
#include "errordisplay.h"
#include "exception.h"
#include "mainform.h"
#include "makedlg.h"
#include "swingplan.h"

namespace {

QString NoBusText() {
  return QStringLiteral("No node is on the CAN or the RS485 bus, so there is no swing program to make.");
}

QString TooLongText(std::size_t words) {
  return QStringLiteral("The swing program for these nodes needs %1 instructions; a program holds at most %2. "
                        "Nothing was changed.")
      .arg(words)
      .arg(MaxInsCount);
}

}  // namespace

TMakeDlg& TMainForm::MakeEditor() {
  if (!MakeDlg) throw Exception(QStringLiteral("The generator dialog is not available"));
  return *MakeDlg;
}

void TMainForm::MakeBtnClick() {
  if (NodeList->topLevelItemCount() == 0) return;
  TMakeDlg& dialog = MakeEditor();
  dialog.LoadChoices(FConfig);
  if (dialog.exec() != QDialog::Accepted) return;

  // The plan is checked with the choices just made, before anything changes.
  const std::vector<TSwingStep> plan = SwingPlan(NodeRecords(), dialog.MakePosCheck->isChecked());
  if (plan.empty()) {
    ShowErrorText(NoBusText());
    return;
  }
  if (plan.size() > static_cast<std::size_t>(MaxInsCount)) {
    ShowErrorText(TooLongText(plan.size()));
    return;
  }
  dialog.StoreChoices(FConfig, Store());
  Pages->setCurrentWidget(InsSheet);
  // A program that could not be emptied is left alone.
  if (!InsClear()) return;
  for (const TSwingStep& step : plan) {
    ApplySwingStep(step, FInsBuf[FInsCount]);
    ++FInsCount;
    InsRowAppend(FInsBuf[FInsCount - 1]);
  }
  Store().WriteInsts(FInsBuf.data(), FInsCount);
}
