// The tool bar and the double clicks: the buttons act on the node list or
// the instruction list, whichever holds the keyboard focus; the buttons
// themselves never take it, so a click acts on the list used last.
#include <QApplication>

#include "mainform.h"

bool TMainForm::NodeListHasFocus() const { return QApplication::focusWidget() == NodeList; }

bool TMainForm::InsListHasFocus() const { return QApplication::focusWidget() == InsList; }

void TMainForm::AddBtnClick() {
  if (NodeListHasFocus()) {
    NodeAdd();
  } else if (InsListHasFocus()) {
    InsAdd();
  }
}

void TMainForm::EditBtnClick() {
  if (NodeListHasFocus()) {
    NodeEdit();
  } else if (InsListHasFocus()) {
    InsEdit();
  }
}

void TMainForm::DelBtnClick() {
  if (NodeListHasFocus()) {
    NodeDelete();
  } else if (InsListHasFocus()) {
    InsDelete();
  }
}

void TMainForm::ClearBtnClick() {
  if (NodeListHasFocus()) {
    NodeClear();
  } else if (InsListHasFocus()) {
    InsClear();
  }
}

void TMainForm::InsertBtnClick() {
  if (InsListHasFocus()) InsInsert();
}

void TMainForm::UpBtnClick() {
  if (InsListHasFocus()) InsMoveUp();
}

void TMainForm::DownBtnClick() {
  if (InsListHasFocus()) InsMoveDown();
}

void TMainForm::TopBtnClick() {
  if (InsListHasFocus()) InsMoveTop();
}

void TMainForm::BotBtnClick() {
  if (InsListHasFocus()) InsMoveBottom();
}

void TMainForm::NodeListDblClick() { NodeEdit(); }

void TMainForm::InsListDblClick() { InsEdit(); }
