// The program check in the instruction list: each row whose word has a
// finding shows a warning picture and, as its tooltip, what is wrong. The
// marks follow the two lists: any change of the instruction list's rows or
// of the node list runs the check again when the program, the nodes' buses
// and addresses or the number of rows changed since the marks were made
// (reports rewrite node-list columns many times a second and change none of
// these). The check only warns; Program downloads what the operator has.
#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "errordisplay.h"
#include "mainform.h"
#include "noderow.h"
#include "programcheck.h"

namespace {

constexpr int MarkColumn = 0;

void ConnectChanges(QAbstractItemModel* model, QObject* receiver, const std::function<void()>& handler) {
  QObject::connect(model, &QAbstractItemModel::rowsInserted, receiver, handler);
  QObject::connect(model, &QAbstractItemModel::rowsRemoved, receiver, handler);
  QObject::connect(model, &QAbstractItemModel::rowsMoved, receiver, handler);
  QObject::connect(model, &QAbstractItemModel::dataChanged, receiver, handler);
  QObject::connect(model, &QAbstractItemModel::modelReset, receiver, handler);
  QObject::connect(model, &QAbstractItemModel::layoutChanged, receiver, handler);
}

const QIcon& WarningIcon() {
  static const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
  return icon;
}

// A row without findings looks as it does without the check. The tooltip
// goes into every column of the list, also those a new row has not filled yet.
void MarkRow(QTreeWidgetItem* row, int columns, const QStringList& texts) {
  const QString tip = texts.join(QLatin1Char('\n'));
  if (row->toolTip(MarkColumn) == tip) return;
  for (int column = 0; column < columns; ++column) row->setToolTip(column, tip);
  row->setIcon(MarkColumn, tip.isEmpty() ? QIcon() : WarningIcon());
}

}  // namespace

void TMainForm::BindProgramCheck() {
  const auto handler = ShowingErrors(this, &TMainForm::MarkProgramFindings);
  ConnectChanges(InsList->model(), this, handler);
  ConnectChanges(NodeList->model(), this, handler);
}

// The program's words, then each node's bus and address, then the number of
// rows of the instruction list.
std::vector<std::uint32_t> TMainForm::ProgramCheckInput() const {
  std::vector<std::uint32_t> input;
  for (std::int32_t i = 0; i < std::clamp(FInsCount, 0, MaxInsCount); ++i) input.push_back(FInsBuf[i].Word);
  input.push_back(static_cast<std::uint32_t>(FInsCount));
  for (int i = 0; i < NodeList->topLevelItemCount(); ++i) {
    const TNodeRow* row = TNodeRow::Of(NodeList->topLevelItem(i));
    if (!row || !row->Node()) continue;
    input.push_back(static_cast<std::uint32_t>(row->Node()->Channel));
    input.push_back(static_cast<std::uint32_t>(row->Node()->Addr));
  }
  input.push_back(static_cast<std::uint32_t>(InsList->topLevelItemCount()));
  return input;
}

// Marking rows changes the list again; that change finds the input unchanged.
void TMainForm::MarkProgramFindings() {
  std::vector<std::uint32_t> input = ProgramCheckInput();
  if (input == FCheckedInput) return;
  FCheckedInput = std::move(input);
  const std::vector<TProgramFinding> findings = CheckProgram(FInsBuf.data(), FInsCount, NodeRecords());
  for (int i = 0; i < InsList->topLevelItemCount(); ++i) {
    MarkRow(InsList->topLevelItem(i), InsList->columnCount(), FindingTextsOfRow(findings, i));
  }
}
