// Export of chart series as CSV: a header row, then one row per point with
// the series title, the point's local date-time in ISO 8601 form with
// milliseconds, and its value. The file is written under a temporary name
// and renamed when complete, so a failed write leaves no half file behind
// (and an existing file as it was).
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

// The header row, without its line end.
extern const char* const SeriesCsvHeader;

// A chart key (local wall-clock seconds since 1970-01-01 00:00) as the local
// date-time "yyyy-MM-ddTHH:mm:ss.zzz", rounded to the millisecond; an empty
// text for a key that is not a finite number.
QByteArray IsoLocalDateTimeMs(double wallClockSeconds);

// Writes rows to a device through a buffer of its own. The header row goes
// out first.
class TSeriesCsvWriter {
 public:
  explicit TSeriesCsvWriter(QIODevice& out);
  TSeriesCsvWriter(const TSeriesCsvWriter&) = delete;
  TSeriesCsvWriter& operator=(const TSeriesCsvWriter&) = delete;

  // The title of the rows that follow, quoted when it needs to be.
  void BeginSeries(const QString& title);
  void AddPoint(double key, double value);
  // Hands what is buffered to the device.
  void Flush();

 private:
  QIODevice& FOut;
  QByteArray FBuffer;
  QByteArray FTitle;
};

// Writes the file at `path` whole or not at all (WriteWholeFile) with the
// rows `fill` gives the writer.
void SaveSeriesCsv(const QString& path, const std::function<void(TSeriesCsvWriter&)>& fill);
