#include "datetime.h"

#include <QDate>
#include <QTime>
#include <cmath>

namespace {

const QDate& Epoch() {
  static const QDate epoch(1899, 12, 30);
  return epoch;
}

}  // namespace

TDateTime Now() { return DateTimeFromQDateTime(QDateTime::currentDateTime()); }

TDateTime DateTimeFromQDateTime(const QDateTime& moment) {
  const QDateTime local = moment.toLocalTime();
  const double days = static_cast<double>(Epoch().daysTo(local.date()));
  return days + local.time().msecsSinceStartOfDay() / MSecsPerDay;
}

QDateTime QDateTimeFromDateTime(TDateTime value) {
  qint64 days = static_cast<qint64>(std::floor(value));
  qint64 msecs = std::llround((value - static_cast<double>(days)) * MSecsPerDay);
  if (msecs >= static_cast<qint64>(MSecsPerDay)) {  // rounded up to the next midnight
    ++days;
    msecs = 0;
  }
  const QTime timeOfDay = QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs));
  return QDateTime(Epoch().addDays(days), timeOfDay, Qt::LocalTime);
}

double DateTimeToUnixSeconds(TDateTime value) {
  return QDateTimeFromDateTime(value).toMSecsSinceEpoch() / 1000.0;
}
