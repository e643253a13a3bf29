#include "wholefile.h"

#include <QSaveFile>

#include "exception.h"

void WriteWholeFile(const QString& path, const std::function<bool(QIODevice&)>& write) {
  QSaveFile file(path);
  const bool written = file.open(QIODevice::WriteOnly) && write(file) && file.commit();
  if (!written) throw Exception(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}
