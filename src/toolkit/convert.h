// Text conversions of the toolkit layer: the general floating-point form,
// whole numbers with and without an error, and "$" hexadecimal numbers.
#pragma once

#include <QString>

// The general form of a floating-point value: up to 15 significant digits,
// no trailing zero digits, the locale's decimal separator; very large and
// very small magnitudes in scientific form ("1E15", "1.5E-7").
QString FloatToStr(double value);

// A decimal whole number with an optional sign and nothing else around it,
// within the 32-bit signed range. Returns false (and leaves value alone)
// for anything else, the empty text included.
bool TryStrToInt(const QString& text, int& value);

// A decimal whole number as TryStrToInt takes it, or "$" followed by one or
// more hexadecimal digits (either case) within the 32-bit signed range.
// Raises EConvertError "'<text>' is not a valid integer value" otherwise.
int StrToInt(const QString& text);
