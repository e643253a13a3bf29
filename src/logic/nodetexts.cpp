#include "nodetexts.h"

QString NodeAddrText(std::int32_t addr) {
  return QStringLiteral("%1").arg(static_cast<std::uint32_t>(addr), 2, 16, QLatin1Char('0')).toUpper();
}
