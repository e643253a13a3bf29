#include "convert.h"

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <limits>

#include "exception.h"

namespace {

constexpr int SignificantDigits = 15;
// Scientific form from 10^15 upwards and below 10^-4, fixed form between.
constexpr int LargestFixedExponent = SignificantDigits - 1;
constexpr int SmallestFixedExponent = -4;

struct TDecimal {
  bool Negative = false;
  QString Digits;    // significant digits, no trailing zeros, at least one
  int Exponent = 0;  // power of ten of the first digit
};

// Rounds a finite, non-zero value to 15 significant digits.
TDecimal ToDecimal(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*e", SignificantDigits - 1, value);
  const QString s = QString::fromLatin1(text);  // [-]d.dddde[+-]xx
  TDecimal d;
  d.Negative = s.startsWith(QLatin1Char('-'));
  const int ePos = s.indexOf(QLatin1Char('e'));
  QString digits = s.left(ePos);
  digits.remove(QLatin1Char('-')).remove(QLatin1Char('.'));
  while (digits.size() > 1 && digits.endsWith(QLatin1Char('0'))) digits.chop(1);
  d.Digits = digits;
  d.Exponent = s.mid(ePos + 1).toInt();
  return d;
}

QString ScientificText(const TDecimal& d, const QString& separator) {
  QString text = d.Digits.left(1);
  if (d.Digits.size() > 1) text += separator + d.Digits.mid(1);
  return text + QLatin1Char('E') + QString::number(d.Exponent);
}

QString FixedText(const TDecimal& d, const QString& separator) {
  if (d.Exponent < 0) {
    return QLatin1Char('0') + separator + QString(-d.Exponent - 1, QLatin1Char('0')) + d.Digits;
  }
  const int whole = d.Exponent + 1;
  if (d.Digits.size() <= whole) return d.Digits + QString(whole - d.Digits.size(), QLatin1Char('0'));
  return d.Digits.left(whole) + separator + d.Digits.mid(whole);
}

// The value of a hexadecimal digit of either case, -1 for any other character.
int HexDigitValue(QChar c) {
  const ushort u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

bool TryHexToInt(const QString& text, int& value) {
  if (text.size() < 2 || text[0] != QLatin1Char('$')) return false;
  qint64 result = 0;
  for (int i = 1; i < text.size(); ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0) return false;
    result = result * 16 + digit;
    if (result > std::numeric_limits<int>::max()) return false;
  }
  value = static_cast<int>(result);
  return true;
}

}  // namespace

QString FloatToStr(double value) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
  if (value == 0.0) return QStringLiteral("0");
  const TDecimal d = ToDecimal(value);
  const QString separator = QLocale().decimalPoint();
  const bool fixed = d.Exponent >= SmallestFixedExponent && d.Exponent <= LargestFixedExponent;
  const QString text = fixed ? FixedText(d, separator) : ScientificText(d, separator);
  return d.Negative ? QLatin1Char('-') + text : text;
}

bool TryStrToInt(const QString& text, int& value) {
  int start = 0;
  if (!text.isEmpty() && (text[0] == QLatin1Char('+') || text[0] == QLatin1Char('-'))) start = 1;
  if (text.size() <= start) return false;
  qint64 magnitude = 0;
  for (int i = start; i < text.size(); ++i) {
    if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9')) return false;
    magnitude = magnitude * 10 + (text[i].unicode() - '0');
    if (magnitude > qint64(std::numeric_limits<int>::max()) + 1) return false;
  }
  const qint64 result = text[0] == QLatin1Char('-') ? -magnitude : magnitude;
  if (result > std::numeric_limits<int>::max()) return false;
  value = static_cast<int>(result);
  return true;
}

int StrToInt(const QString& text) {
  int value = 0;
  if (TryHexToInt(text, value) || TryStrToInt(text, value)) return value;
  throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
