#include "gridlines.h"

#include <QPainter>

void TGridLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  const QRect cell = option.rect;
  painter->save();
  painter->setPen(option.palette.color(QPalette::Mid));
  painter->drawLine(cell.topRight(), cell.bottomRight());
  painter->drawLine(cell.bottomLeft(), cell.bottomRight());
  painter->restore();
}
