// The names of the bus codes that the node list and the instruction list
// show.
#pragma once

#include <QString>

// 0 "CAN+485" (both buses), 1 "CAN", 2 "RS485"; any other code has the
// empty text.
QString BusText(unsigned code);
