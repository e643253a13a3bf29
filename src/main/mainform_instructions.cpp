// The instruction list: row i shows slot i of FInsBuf and the list has
// FInsCount rows. Every operation prepares the new program in FInsBuf and
// FInsCount, writes the whole program to the instruction table and changes
// the list only when the table took it. When the write fails or raises, the
// program in memory is put back as it was, so that memory, list and table
// keep showing one and the same program (a raised error goes on to the
// operator).
#include <QTreeWidget>

#include "data.h"
#include "exception.h"
#include "insdlg.h"
#include "insprogram.h"
#include "instext.h"
#include "mainform.h"

namespace {

constexpr int InsTextColumns = 5;  // Action, Param1 to Param4; Param4 stays empty

// Keeps a copy of the program and puts it back when it goes out of scope,
// unless the change was kept.
class TProgramRestore {
 public:
  TProgramRestore(TInsBuf& words, std::int32_t& count)
      : FWords(words), FCount(count), FSavedWords(words), FSavedCount(count) {}
  ~TProgramRestore() {
    if (FKept) return;
    FWords = FSavedWords;
    FCount = FSavedCount;
  }
  TProgramRestore(const TProgramRestore&) = delete;
  TProgramRestore& operator=(const TProgramRestore&) = delete;

  void Keep() { FKept = true; }

 private:
  TInsBuf& FWords;
  std::int32_t& FCount;
  const TInsBuf FSavedWords;
  const std::int32_t FSavedCount;
  bool FKept = false;
};

}  // namespace

TInsDlg& TMainForm::InsEditor() {
  if (!InsDlg) throw Exception(QStringLiteral("The instruction editor is not available"));
  return *InsDlg;
}

bool TMainForm::AskNewInstruction() {
  InsEditor().PrepareAdd();
  return InsEditor().exec() == QDialog::Accepted;
}

// `prepare` changes FInsBuf and FInsCount and tells whether it changed
// anything; only then is the program written.
bool TMainForm::ChangeProgram(const std::function<bool()>& prepare) {
  TProgramRestore restore(FInsBuf, FInsCount);
  if (!prepare() || !Store().WriteInsts(FInsBuf.data(), FInsCount)) return false;
  restore.Keep();
  return true;
}

void TMainForm::InsAdd() {
  if (FInsCount >= MaxInsCount || !AskNewInstruction()) return;
  const std::int32_t slot = FInsCount;
  const bool stored = ChangeProgram([&] {
    InsEditor().StoreInst(FInsBuf[slot]);
    ++FInsCount;
    return true;
  });
  if (stored) InsRowAppend(FInsBuf[slot]);
}

void TMainForm::InsInsert() {
  if (FInsCount >= MaxInsCount) return;
  const int i = SelectedInsRow();
  if (i < 0) {
    InsAdd();
    return;
  }
  if (!AskNewInstruction()) return;
  const bool stored = ChangeProgram([&] {
    if (!OpenInsSlot(FInsBuf, FInsCount, i)) return false;
    // The slot still holds the word that was at i: the bits the new type
    // does not use carry over from it.
    InsEditor().StoreInst(FInsBuf[i]);
    ++FInsCount;
    return true;
  });
  if (stored) InsRowInsert(InsList->topLevelItem(i), FInsBuf[i]);
}

void TMainForm::InsEdit() {
  const int i = SelectedInsRow();
  if (i < 0) return;
  InsEditor().LoadInst(FInsBuf[i]);
  if (InsEditor().exec() != QDialog::Accepted) return;
  const bool stored = ChangeProgram([&] {
    InsEditor().StoreInst(FInsBuf[i]);
    return true;
  });
  if (stored) InsRowRefresh(InsList->topLevelItem(i));
}

void TMainForm::InsDelete() {
  const int i = SelectedInsRow();
  const bool deleted = ChangeProgram([&] {
    if (!CloseInsSlot(FInsBuf, FInsCount, i)) return false;
    --FInsCount;
    return true;
  });
  if (deleted) InsRowDelete(InsList->topLevelItem(i));
}

// The slots keep their words; only the count goes to 0.
bool TMainForm::InsClear() {
  const bool cleared = ChangeProgram([&] {
    FInsCount = 0;
    return true;
  });
  if (cleared) InsList->clear();
  return cleared;
}

void TMainForm::InsMoveUp() {
  const int i = SelectedInsRow();
  if (!ChangeProgram([&] { return SwapInsWords(FInsBuf, FInsCount, i - 1, i); })) return;
  InsRowRefresh(InsList->topLevelItem(i - 1));
  InsRowRefresh(InsList->topLevelItem(i));
  RevealInsRow(i - 1);
}

void TMainForm::InsMoveDown() {
  const int i = SelectedInsRow();
  if (!ChangeProgram([&] { return SwapInsWords(FInsBuf, FInsCount, i, i + 1); })) return;
  InsRowRefresh(InsList->topLevelItem(i));
  InsRowRefresh(InsList->topLevelItem(i + 1));
  RevealInsRow(i + 1);
}

void TMainForm::InsMoveTop() {
  const int i = SelectedInsRow();
  if (!ChangeProgram([&] { return MoveInsToTop(FInsBuf, FInsCount, i); })) return;
  InsList->clear();
  InsListRebuild();
  RevealInsRow(0);
}

void TMainForm::InsMoveBottom() {
  const int i = SelectedInsRow();
  if (!ChangeProgram([&] { return MoveInsToBottom(FInsBuf, FInsCount, i); })) return;
  InsList->clear();
  InsListRebuild();
  RevealInsRow(FInsCount - 1);
}

void TMainForm::InsRowAppend(const TInsStu& word) {
  auto* row = new QTreeWidgetItem(InsList);
  const int position = InsList->topLevelItemCount() - 1;
  ShowInsWord(row, position, word);
  SelectInsRow(position);
}

void TMainForm::InsRowInsert(QTreeWidgetItem* row, const TInsStu& word) {
  const int position = InsList->indexOfTopLevelItem(row);
  if (position < 0) return;
  auto* added = new QTreeWidgetItem;
  InsList->insertTopLevelItem(position, added);
  ShowInsWord(added, position, word);
  SelectInsRow(position);
  RenumberInsRows(position + 1);
}

void TMainForm::InsRowRefresh(QTreeWidgetItem* row) {
  const int position = InsList->indexOfTopLevelItem(row);
  if (position < 0 || position >= MaxInsCount) return;
  ShowInsWord(row, position, FInsBuf[position]);
}

void TMainForm::InsRowDelete(QTreeWidgetItem* row) {
  const int position = InsList->indexOfTopLevelItem(row);
  if (position < 0) return;
  delete row;
  RenumberInsRows(position);
  // The row that took its place, else the one before (none when the list is empty).
  SelectInsRow(position < InsList->topLevelItemCount() ? position : position - 1);
}

void TMainForm::InsListRebuild() {
  for (std::int32_t i = 0; i < FInsCount; ++i) InsRowAppend(FInsBuf[i]);
}

// A selected row that shows no word of the program counts as none.
int TMainForm::SelectedInsRow() const {
  const QList<QTreeWidgetItem*> selected = InsList->selectedItems();
  if (selected.isEmpty()) return -1;
  const int row = InsList->indexOfTopLevelItem(selected.first());
  return row < FInsCount ? row : -1;
}

// Makes the row the selected and current row; -1 leaves no row selected.
void TMainForm::SelectInsRow(int row) {
  QTreeWidgetItem* item = InsList->topLevelItem(row);
  InsList->setCurrentItem(item);
  if (!item) InsList->clearSelection();
}

// Selects the row alone and scrolls the list so that it is entirely visible.
void TMainForm::RevealInsRow(int row) {
  InsList->clearSelection();
  SelectInsRow(row);
  if (QTreeWidgetItem* item = InsList->topLevelItem(row)) InsList->scrollToItem(item);
}

void TMainForm::ShowInsWord(QTreeWidgetItem* row, int position, const TInsStu& word) {
  row->setText(0, InsRowCaption(position));
  const QStringList texts = InsWordTexts(word);
  for (int column = 0; column < InsTextColumns; ++column) row->setText(column + 1, texts.value(column));
}

void TMainForm::RenumberInsRows(int from) {
  for (int position = from; position < InsList->topLevelItemCount(); ++position) {
    InsList->topLevelItem(position)->setText(0, InsRowCaption(position));
  }
}
