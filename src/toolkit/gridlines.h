// Grid lines for a list in report style: every cell gets a line along its
// right and bottom edges, in the palette's mid colour, as list views of the
// classic desktop draw them.
#pragma once

#include <QStyledItemDelegate>

class TGridLineDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
