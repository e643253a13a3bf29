// The text conversions behind typed input: the decimal boxes (a whole number
// with an optional sign), the hexadecimal address and command bytes ("$" and
// hexadecimal digits), and the address entry pair of the editors (a
// hexadecimal box driving a spin button of 0 to 100, and the spin button's
// decimal buddy). Checked on every input: each conversion accepts exactly
// the texts a parser written here accepts, with the same value; a refused
// text raises the conversion error naming it and changes nothing; the spin
// position stays in its range and follows every accepted text, clamped.
#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>

#include "convert.h"
#include "exception.h"
#include "hexaddress.h"
#include "updown.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::optional<int> DigitValue(QChar c, int base) {
  const ushort u = c.unicode();
  int value = -1;
  if (u >= '0' && u <= '9') value = u - '0';
  if (u >= 'a' && u <= 'f') value = u - 'a' + 10;
  if (u >= 'A' && u <= 'F') value = u - 'A' + 10;
  if (value < 0 || value >= base) return std::nullopt;
  return value;
}

// Digits of one base, at least one, within the 32-bit signed range once
// the sign is applied.
std::optional<int> ParseDigits(const QString& digits, int base, bool negative) {
  if (digits.isEmpty()) return std::nullopt;
  long long magnitude = 0;
  for (QChar c : digits) {
    const std::optional<int> d = DigitValue(c, base);
    if (!d) return std::nullopt;
    magnitude = magnitude * base + *d;
    if (magnitude > 1LL << 32) return std::nullopt;
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<int> ExpectedDecimal(const QString& text) {
  const bool sign = text.startsWith('+') || text.startsWith('-');
  return ParseDigits(text.mid(sign ? 1 : 0), 10, text.startsWith('-'));
}

std::optional<int> ExpectedInteger(const QString& text) {
  if (text.startsWith('$')) return ParseDigits(text.mid(1), 16, false);
  return ExpectedDecimal(text);
}

void CheckTryStrToInt(const QString& text) {
  int value = 12345;
  const bool ok = TryStrToInt(text, value);
  const std::optional<int> expected = ExpectedDecimal(text);
  Require(ok == expected.has_value());
  Require(value == (ok ? *expected : 12345));
}

// StrToInt's result, or nothing when it raised the conversion error.
std::optional<int> ConvertOrNothing(const QString& text) {
  try {
    return StrToInt(text);
  } catch (const EConvertError& e) {
    Require(e.Message() == QStringLiteral("'%1' is not a valid integer value").arg(text));
    return std::nullopt;
  }
}

void CheckStrToInt(const QString& text) { Require(ConvertOrNothing(text) == ExpectedInteger(text)); }

struct TAddressEntry {
  QLineEdit HexEdit;
  QLineEdit Buddy;
  TUpDown UpDown;
  bool Lock = false;

  TAddressEntry() { UpDown.SetAssociate(&Buddy); }
};

TAddressEntry& Entry() {
  static TAddressEntry* entry = new TAddressEntry;  // lives for the whole fuzzing run
  return *entry;
}

void CheckHexAddress(const QString& text) {
  TAddressEntry& e = Entry();
  const int before = e.UpDown.Position();
  e.HexEdit.setText(text);
  const QString shown = e.HexEdit.text();  // the box may cut a very long text
  const std::optional<int> value = ExpectedInteger(QLatin1Char('$') + (shown.isEmpty() ? QStringLiteral("0") : shown));
  try {
    TakeHexAddress(e.HexEdit, e.UpDown, e.Lock);
    Require(value.has_value());
    Require(e.UpDown.Position() == std::clamp(*value, e.UpDown.Min(), e.UpDown.Max()));
  } catch (const EConvertError&) {
    Require(!value.has_value());
    Require(e.UpDown.Position() == before);
  }
  Require(!e.Lock);
  ShowHexAddress(e.HexEdit, e.UpDown, e.Lock);
  Require(ConvertOrNothing(QLatin1Char('$') + e.HexEdit.text()) == e.UpDown.Position());
}

void CheckDecimalBuddy(const QString& text) {
  TAddressEntry& e = Entry();
  e.UpDown.SetPosition(50);
  e.Buddy.setText(text);
  const std::optional<int> typed = ExpectedDecimal(e.Buddy.text());
  const bool inRange = typed && *typed >= e.UpDown.Min() && *typed <= e.UpDown.Max();
  Require(e.UpDown.Position() == (inRange ? *typed : 50));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  new QApplication(*argc, *argv);  // the widgets need it for the whole run
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const QString text = (data[0] & 1) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
  CheckTryStrToInt(text);
  CheckStrToInt(text);
  CheckStrToInt(QLatin1Char('$') + text);
  CheckHexAddress(text);
  CheckDecimalBuddy(text);
  return 0;
}
