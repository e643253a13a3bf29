// The node list: one row per node of the node table, each owning its
// record; adding, editing, deleting and clearing nodes through the node
// editor and the node table, the list changing only when the table did.
#include <QPixmap>
#include <QTreeWidget>

#include "bustext.h"
#include "data.h"
#include "exception.h"
#include "icons.h"
#include "mainform.h"
#include "nodedlg.h"
#include "noderow.h"
#include "nodetexts.h"

namespace {

enum TNodeColumn { NameColumn = 0, AddrColumn, BusColumn, AngleColumn, IntervColumn };

// A row without a bus picture keeps the picture's room, as a list with row
// pictures does, so that the names line up.
QIcon NoPicture() {
  QPixmap blank(IconSize, IconSize);
  blank.fill(Qt::transparent);
  return QIcon(blank);
}

}  // namespace

TNodeDlg& TMainForm::NodeEditor() {
  if (!NodeDlg) throw Exception(QStringLiteral("The node editor is not available"));
  return *NodeDlg;
}

// The picture is the bus's: 0 CAN, 1 RS485; any other bus code shows none.
void TMainForm::ShowNode(TNodeRow* row) const {
  const TNodeStu& node = *row->Node();
  const qsizetype picture = static_cast<qsizetype>(node.Channel) - 1;
  row->setIcon(NameColumn, picture >= 0 && picture < ImageList1.size() ? ImageList1.at(picture) : NoPicture());
  row->setText(NameColumn, node.NodeName);
  row->setText(AddrColumn, NodeAddrText(node.Addr));
  row->setText(BusColumn, BusText(static_cast<unsigned>(node.Channel)));
  row->setText(AngleColumn, QString::number(node.Angle));
  row->setText(IntervColumn, QString::number(node.Interv));
}

void TMainForm::NodeRowAdd(std::unique_ptr<TNodeStu> node) {
  auto* row = new TNodeRow(std::move(node));
  ShowNode(row);
  NodeList->addTopLevelItem(row);
  NodeList->setCurrentItem(row);
}

void TMainForm::NodeRowRefresh(TNodeRow* row) { ShowNode(row); }

void TMainForm::NodeRowRemove(TNodeRow* row) {
  const int index = NodeList->indexOfTopLevelItem(row);
  delete row;  // the record goes with it
  SelectNodeRow(index < NodeList->topLevelItemCount() ? index : index - 1);
}

// Row -1 (or any row that does not exist) leaves no row selected.
void TMainForm::SelectNodeRow(int index) {
  QTreeWidgetItem* row = NodeList->topLevelItem(index);
  if (!row) NodeList->clearSelection();
  NodeList->setCurrentItem(row);
}

TNodeRow* TMainForm::SelectedNodeRow() const {
  const QList<QTreeWidgetItem*> selected = NodeList->selectedItems();
  return selected.isEmpty() ? nullptr : TNodeRow::Of(selected.first());
}

// Ticking a row fires the check-box handler, as the operator's tick does.
void TMainForm::CheckFirstNodes(int count) {
  const int last = std::min(count, NodeList->topLevelItemCount());
  for (int i = 0; i < last; ++i) NodeList->topLevelItem(i)->setCheckState(0, Qt::Checked);
}

TNodeRow* TMainForm::FindNodeRow(int bus, int addr) const {
  for (int i = 0; i < NodeList->topLevelItemCount(); ++i) {
    TNodeRow* row = TNodeRow::Of(NodeList->topLevelItem(i));
    if (row && row->Node() && row->Node()->Channel == bus && row->Node()->Addr == addr) return row;
  }
  return nullptr;
}

void TMainForm::NodeAdd() {
  TNodeDlg& editor = NodeEditor();
  editor.PrepareAdd();
  if (editor.exec() != QDialog::Accepted) return;
  auto node = std::make_unique<TNodeStu>();
  editor.StoreNode(*node);
  if (Store().InsertNode(*node)) NodeRowAdd(std::move(node));
}

// The chart series keep their tags: they stay with the bus and address the
// node had when its row was ticked.
void TMainForm::NodeEdit() {
  TNodeRow* row = SelectedNodeRow();
  if (!row || !row->Node()) return;
  TNodeDlg& editor = NodeEditor();
  editor.LoadNode(*row->Node());
  if (editor.exec() != QDialog::Accepted) return;
  TNodeStu& node = *row->Node();
  const TNodeStu previous = node;
  editor.StoreNode(node);
  if (UpdateNodeOrRestore(node, previous)) NodeRowRefresh(row);
}

// Reports find their row by the record, so a record whose update did not
// reach the table takes its previous values back: record, row and table
// keep agreeing. An error of the engine goes on to the error box.
bool TMainForm::UpdateNodeOrRestore(TNodeStu& node, const TNodeStu& previous) {
  bool updated = false;
  try {
    updated = Store().UpdateNode(node);
  } catch (...) {
    node = previous;
    throw;
  }
  if (!updated) node = previous;
  return updated;
}

void TMainForm::NodeDelete() {
  TNodeRow* row = SelectedNodeRow();
  if (!row || !row->Node()) return;
  const TNodeStu& node = *row->Node();
  if (!Store().DeleteNode(node.ID)) return;
  if (row->IsTicked()) RemoveNodeSeries(node.Channel, node.Addr);
  NodeRowRemove(row);
}

void TMainForm::NodeClear() {
  if (!Store().DeleteAllNodes()) return;
  for (int i = NodeList->topLevelItemCount() - 1; i >= 0; --i) {
    TNodeRow* row = TNodeRow::Of(NodeList->topLevelItem(i));
    if (!row) continue;
    const std::unique_ptr<TNodeStu> node = row->DetachNode();
    if (node && row->IsTicked()) RemoveNodeSeries(node->Channel, node->Addr);
  }
  NodeList->clear();
}
