#include "seriescsv.h"

#include <QIODevice>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "wholefile.h"

const char* const SeriesCsvHeader = "Series,Time,Value";

namespace {

constexpr qsizetype FlushAt = 1 << 20;
constexpr std::int64_t MsPerDay = 86400000;

struct TCivilDate {
  std::int64_t Year;
  unsigned Month, Day;
};

// The proleptic Gregorian date of a day counted from 1970-01-01.
TCivilDate CivilFromDays(std::int64_t days) {
  days += 719468;  // from 0000-03-01
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthFromMarch = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
  const unsigned month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
  return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

char* PutDigits(char* at, unsigned value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return at + width;
}

char* PutYear(char* at, std::int64_t year) {
  if (year >= 0 && year <= 9999) return PutDigits(at, static_cast<unsigned>(year), 4);
  return std::to_chars(at, at + 24, year).ptr;  // years ISO 8601 writes in expanded form
}

// Writes the date-time and returns the end; nothing for a key that is no
// finite number or lies beyond any calendar.
char* PutDateTime(char* at, double wallClockSeconds) {
  const double ms = std::round(wallClockSeconds * 1000);
  if (!std::isfinite(ms) || std::fabs(ms) > 1e17) return at;
  const auto total = static_cast<std::int64_t>(ms);
  std::int64_t days = total / MsPerDay;
  std::int64_t ofDay = total % MsPerDay;
  if (ofDay < 0) {
    ofDay += MsPerDay;
    --days;
  }
  const TCivilDate date = CivilFromDays(days);
  const auto msOfDay = static_cast<unsigned>(ofDay);
  at = PutYear(at, date.Year);
  *at++ = '-';
  at = PutDigits(at, date.Month, 2);
  *at++ = '-';
  at = PutDigits(at, date.Day, 2);
  *at++ = 'T';
  at = PutDigits(at, msOfDay / 3600000, 2);
  *at++ = ':';
  at = PutDigits(at, msOfDay / 60000 % 60, 2);
  *at++ = ':';
  at = PutDigits(at, msOfDay / 1000 % 60, 2);
  *at++ = '.';
  return PutDigits(at, msOfDay % 1000, 3);
}

// A field with a separator, a quote or a line end goes in quotes, its
// quotes doubled.
QByteArray CsvField(const QString& text) {
  QByteArray field = text.toUtf8();
  if (field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r')) {
    field.replace("\"", "\"\"");
    field = '"' + field + '"';
  }
  return field;
}

}  // namespace

QByteArray IsoLocalDateTimeMs(double wallClockSeconds) {
  char text[48];
  return QByteArray(text, PutDateTime(text, wallClockSeconds) - text);
}

TSeriesCsvWriter::TSeriesCsvWriter(QIODevice& out) : FOut(out) {
  FBuffer.reserve(FlushAt + 256);
  FBuffer.append(SeriesCsvHeader).append('\n');
}

void TSeriesCsvWriter::BeginSeries(const QString& title) { FTitle = CsvField(title); }

void TSeriesCsvWriter::AddPoint(double key, double value) {
  char row[96];
  char* at = PutDateTime(row, key);
  *at++ = ',';
  at = std::to_chars(at, row + sizeof row - 1, value).ptr;  // the shortest text that reads back the same
  *at++ = '\n';
  FBuffer.append(FTitle).append(',').append(row, at - row);
  if (FBuffer.size() >= FlushAt) Flush();
}

void TSeriesCsvWriter::Flush() {
  FOut.write(FBuffer);
  FBuffer.clear();
}

void SaveSeriesCsv(const QString& path, const std::function<void(TSeriesCsvWriter&)>& fill) {
  WriteWholeFile(path, [&fill](QIODevice& file) {
    TSeriesCsvWriter writer(file);
    fill(writer);
    writer.Flush();
    return true;  // a failed write shows when the file is committed
  });
}
