#include "bustext.h"

QString BusText(unsigned code) {
  switch (code) {
    case 0: return QStringLiteral("CAN+485");
    case 1: return QStringLiteral("CAN");
    case 2: return QStringLiteral("RS485");
    default: return QString();
  }
}
