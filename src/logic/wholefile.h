// Writing a file whole or not at all: the contents go to a temporary name
// beside it, which is renamed to the file's name only when everything was
// written, so a failure leaves no half file (and an earlier file as it was).
#pragma once

#include <QString>
#include <functional>

class QIODevice;

// `write` fills the device and says whether it succeeded. Raises an
// Exception "Cannot write <path>: <reason>" on any failure; when `write`
// raises, its error goes on and no file is left either.
void WriteWholeFile(const QString& path, const std::function<bool(QIODevice&)>& write);
