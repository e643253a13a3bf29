// The toolkit's date-time: days since 1899-12-30 00:00 local time as a
// double; the fraction is the time of day. Only values from the epoch on
// are meant; earlier ones are taken on the same linear scale.
#pragma once

#include <QDateTime>

using TDateTime = double;

constexpr double MSecsPerDay = 24.0 * 60 * 60 * 1000;

// The current local date-time.
TDateTime Now();

// The local wall-clock reading of a moment, and back.
TDateTime DateTimeFromQDateTime(const QDateTime& moment);
QDateTime QDateTimeFromDateTime(TDateTime value);

// Seconds since the Unix epoch of the local date-time value; the form the
// chart's date-time axis takes.
double DateTimeToUnixSeconds(TDateTime value);
