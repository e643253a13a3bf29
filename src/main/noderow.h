// A row of the node list. It owns the node record it shows; the record can
// be detached (while the list is cleared), after which every handler that
// looks at records passes the row by.
#pragma once

#include <QTreeWidgetItem>
#include <cstdint>
#include <memory>
#include <optional>

#include "records.h"

class TNodeRow : public QTreeWidgetItem {
 public:
  static constexpr int RowType = QTreeWidgetItem::UserType + 1;

  // A new row, not yet in a list, with an unticked check box.
  explicit TNodeRow(std::unique_ptr<TNodeStu> node);

  TNodeStu* Node() const { return FNode.get(); }
  std::unique_ptr<TNodeStu> DetachNode() { return std::move(FNode); }
  bool IsTicked() const { return checkState(0) == Qt::Checked; }

  // The item as a node row; null for any other item and for none.
  static TNodeRow* Of(QTreeWidgetItem* item);

  // When the node last reported (milliseconds of a monotonic clock) and the
  // last temperature it reported: what the row's health look comes from.
  std::optional<std::int64_t> LastReportMs;
  std::optional<int> LastTemperature;

 private:
  std::unique_ptr<TNodeStu> FNode;
};
