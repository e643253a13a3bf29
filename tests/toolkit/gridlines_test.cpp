#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>
#include <QPalette>
#include <QTreeWidget>

#include "gridlines.h"

namespace {

TEST(GridLineDelegate, DrawsTheRightAndBottomEdgeOfEveryCell) {
  QTreeWidget list;
  list.setColumnCount(2);
  list.setHeaderHidden(true);
  list.setRootIsDecorated(false);
  list.setItemDelegate(new TGridLineDelegate(&list));
  QPalette palette = list.palette();
  const QColor grid(0x12, 0x34, 0x56);
  palette.setColor(QPalette::Mid, grid);
  palette.setColor(QPalette::Base, Qt::white);
  list.setPalette(palette);
  for (int row = 0; row < 2; ++row) new QTreeWidgetItem(&list, QStringList{"a", "b"});
  list.resize(300, 120);
  list.header()->resizeSection(0, 100);
  list.show();
  const QImage image = list.viewport()->grab().toImage();
  const QRect cell = list.visualItemRect(list.topLevelItem(0)).intersected(QRect(0, 0, 100, 1000));
  const QPoint inside(cell.left() + 60, cell.center().y());  // right of the text
  EXPECT_EQ(QColor(image.pixel(cell.right(), cell.center().y())), grid) << "right edge";
  EXPECT_EQ(QColor(image.pixel(inside.x(), cell.bottom())), grid) << "bottom edge";
  EXPECT_EQ(QColor(image.pixel(inside)), QColor(Qt::white)) << "the cell itself";
}

}  // namespace
