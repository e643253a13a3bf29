#include "hexaddress.h"

#include <QLineEdit>

#include "convert.h"
#include "updown.h"

namespace {

class TLockScope {
 public:
  explicit TLockScope(bool& lock) : FLock(lock) { FLock = true; }
  ~TLockScope() { FLock = false; }
  TLockScope(const TLockScope&) = delete;
  TLockScope& operator=(const TLockScope&) = delete;

 private:
  bool& FLock;
};

}  // namespace

void TakeHexAddress(const QLineEdit& hexEdit, TUpDown& upDown, bool& lock) {
  const QString text = hexEdit.text().isEmpty() ? QStringLiteral("0") : hexEdit.text();
  const TLockScope scope(lock);
  upDown.SetPosition(StrToInt(QLatin1Char('$') + text));
}

void ShowHexAddress(QLineEdit& hexEdit, const TUpDown& upDown, bool lock) {
  if (lock) return;
  hexEdit.setText(QStringLiteral("%1").arg(upDown.Position(), 2, 16, QLatin1Char('0')).toUpper());
}
