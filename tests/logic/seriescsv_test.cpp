#include "seriescsv.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "exception.h"

namespace {

struct TTimeCase {
  double Seconds;
  const char* Text;
};

TEST(SeriesCsv, KeysAreLocalDateTimesToTheMillisecond) {
  const TTimeCase cases[] = {
      {0, "1970-01-01T00:00:00.000"},
      {951782400.5, "2000-02-29T00:00:00.500"},
      {1709251199.999, "2024-02-29T23:59:59.999"},
      {1709251199.9996, "2024-03-01T00:00:00.000"},  // rounded to the nearest millisecond
      {1234.0004, "1970-01-01T00:20:34.000"},
      {-0.001, "1969-12-31T23:59:59.999"},
      {-2209161600.0, "1899-12-30T00:00:00.000"},  // the date-time scale's epoch
      {253402300799.999, "9999-12-31T23:59:59.999"},
  };
  for (const TTimeCase& c : cases) EXPECT_EQ(IsoLocalDateTimeMs(c.Seconds), QByteArray(c.Text)) << c.Seconds;
}

TEST(SeriesCsv, KeysAgreeWithQtsCalendar) {
  QRandomGenerator random(11);
  for (int i = 0; i < 20000; ++i) {
    const qint64 ms = static_cast<qint64>(random.bounded(4102444800000.0)) - 2208988800000;  // 1900 to 2100
    const QString expected =
        QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    ASSERT_EQ(QString::fromLatin1(IsoLocalDateTimeMs(ms / 1000.0)), expected) << ms;
  }
}

TEST(SeriesCsv, KeysThatAreNoNumbersGiveAnEmptyTime) {
  for (double key : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -1e300}) {
    EXPECT_EQ(IsoLocalDateTimeMs(key), QByteArray()) << key;
  }
}

class SeriesCsvFile : public testing::Test {
 protected:
  QTemporaryDir Dir;
  QString Path() const { return Dir.filePath(QStringLiteral("chart.csv")); }

  static QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
};

TEST_F(SeriesCsvFile, WritesAHeaderAndOneRowPerPointTitlesQuotedWhenNeeded) {
  SaveSeriesCsv(Path(), [](TSeriesCsvWriter& out) {
    out.BeginSeries(QStringLiteral("ArmPos"));
    out.AddPoint(0.25, 123.4);
    out.AddPoint(1.5, -0.5);
    out.BeginSeries(QStringLiteral("A, \"big\" Temp"));
    out.AddPoint(2, 70);
    out.BeginSeries(QStringLiteral("Kühler"));
    out.AddPoint(3, 0.1 + 0.2);
  });
  EXPECT_EQ(Read(Path()), QByteArray("Series,Time,Value\n"
                                     "ArmPos,1970-01-01T00:00:00.250,123.4\n"
                                     "ArmPos,1970-01-01T00:00:01.500,-0.5\n"
                                     "\"A, \"\"big\"\" Temp\",1970-01-01T00:00:02.000,70\n"
                                     "Kühler,1970-01-01T00:00:03.000,0.30000000000000004\n"));
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"chart.csv"}) << "no temporary file stays";
}

TEST_F(SeriesCsvFile, AWriteThatFailsRaisesAndLeavesNoFile) {
  const QString paths[] = {Dir.filePath(QStringLiteral("missing/chart.csv")),
                           QStringLiteral("/proc/servo-chart-export.csv")};  // refused even to root
  for (const QString& path : paths) {
    try {
      SaveSeriesCsv(path, [](TSeriesCsvWriter& out) { out.AddPoint(0, 1); });
      ADD_FAILURE() << "no error for " << path.toStdString();
    } catch (const Exception& error) {
      EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Cannot write ") + path)) << error.what();
    }
    EXPECT_FALSE(QFile::exists(path));
  }
}

TEST_F(SeriesCsvFile, AnExportThatBreaksOffKeepsTheEarlierFile) {
  SaveSeriesCsv(Path(), [](TSeriesCsvWriter& out) { out.AddPoint(0, 1); });
  const QByteArray before = Read(Path());
  EXPECT_THROW(SaveSeriesCsv(Path(),
                             [](TSeriesCsvWriter& out) {
                               for (int i = 0; i < 200000; ++i) out.AddPoint(i, i);  // past the first flush
                               throw Exception(QStringLiteral("broken off"));
                             }),
               Exception);
  EXPECT_EQ(Read(Path()), before);
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"chart.csv"});
}

}  // namespace
