#include "noderow.h"

TNodeRow::TNodeRow(std::unique_ptr<TNodeStu> node) : QTreeWidgetItem(RowType), FNode(std::move(node)) {
  setCheckState(0, Qt::Unchecked);
}

TNodeRow* TNodeRow::Of(QTreeWidgetItem* item) {
  return item && item->type() == RowType ? static_cast<TNodeRow*>(item) : nullptr;
}
