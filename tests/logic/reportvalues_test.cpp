#include "reportvalues.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace {

struct TTextCase {
  int Value;
  const char* Text;
};

TEST(ReportValues, PositionsAreTenthsInTheGeneralForm) {
  const TTextCase cases[] = {{1234, "123.4"}, {123, "12.3"},       {-5, "-0.5"},      {70, "7"},
                             {0, "0"},        {-32768, "-3276.8"}, {32767, "3276.7"}, {1, "0.1"}};
  for (const TTextCase& c : cases) EXPECT_EQ(PosText(c.Value), QString::fromLatin1(c.Text)) << c.Value;
  EXPECT_DOUBLE_EQ(PosPlotValue(1234), 123.4);
  EXPECT_DOUBLE_EQ(PWMPlotValue(-300), -30.0);
}

TEST(ReportValues, CurrentsAreHundredthsTemperaturesWholeDegrees) {
  const TTextCase currents[] = {{250, "2.5"}, {1, "0.01"}, {-120, "-1.2"}, {300, "3"}, {0, "0"}};
  for (const TTextCase& c : currents) EXPECT_EQ(CurrentText(c.Value), QString::fromLatin1(c.Text)) << c.Value;
  EXPECT_DOUBLE_EQ(CurrentPlotValue(250), 2.5);
  const TTextCase temperatures[] = {{25, "25"}, {-40, "-40"}, {0, "0"}, {127, "127"}, {-128, "-128"}};
  for (const TTextCase& c : temperatures) EXPECT_EQ(TempText(c.Value), QString::fromLatin1(c.Text)) << c.Value;
}

TEST(ReportValues, TheDecimalSeparatorIsTheLocales) {
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(PosText(1234), QStringLiteral("123,4"));
  EXPECT_EQ(CurrentText(250), QStringLiteral("2,5"));
  QLocale::setDefault(previous);
}

}  // namespace
