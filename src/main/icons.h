// The pictures of the main window's two image lists, drawn at 24 x 24
// pixels: ten for the tool bar and one per bus for the node list's rows.
#pragma once

#include <QIcon>
#include <QVector>

constexpr int IconSize = 24;

// Tool-bar pictures by index: 0 add, 1 insert, 2 delete, 3 clear, 4 edit,
// 5 move up, 6 move down, 7 to top, 8 to bottom, 9 make a program.
QVector<QIcon> ToolBarIcons();

// Node-list pictures by index: 0 a CAN node, 1 an RS485 node.
QVector<QIcon> BusIcons();
