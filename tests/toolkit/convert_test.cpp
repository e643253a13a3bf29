#include <gtest/gtest.h>

#include <QLocale>

#include "convert.h"
#include "exception.h"

namespace {

struct TFloatCase {
  double Value;
  const char* Text;
};

class FloatToStrTest : public testing::TestWithParam<TFloatCase> {};

TEST_P(FloatToStrTest, GivesTheGeneralForm) {
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(FloatToStr(GetParam().Value).toStdString(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Values, FloatToStrTest,
                         testing::Values(TFloatCase{123 * 0.1, "12.3"}, TFloatCase{-5 * 0.1, "-0.5"},
                                         TFloatCase{70 * 0.1, "7"}, TFloatCase{0.0, "0"}, TFloatCase{-0.0, "0"},
                                         TFloatCase{1234 * 0.01, "12.34"}, TFloatCase{-37, "-37"},
                                         TFloatCase{0.1 + 0.2, "0.3"}, TFloatCase{1.0 / 3, "0.333333333333333"},
                                         TFloatCase{2.0 / 3, "0.666666666666667"},
                                         TFloatCase{999999999999999.0, "999999999999999"},
                                         TFloatCase{1e15, "1E15"}, TFloatCase{-2.5e20, "-2.5E20"},
                                         TFloatCase{123456789012345678.0, "1.23456789012346E17"},
                                         TFloatCase{0.0001, "0.0001"}, TFloatCase{0.00001, "1E-5"},
                                         TFloatCase{1.5e-7, "1.5E-7"}, TFloatCase{100, "100"}));

TEST(FloatToStr, UsesTheLocaleDecimalSeparator) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(FloatToStr(12.3), QStringLiteral("12,3"));
  EXPECT_EQ(FloatToStr(1.5e-7), QStringLiteral("1,5E-7"));
  QLocale::setDefault(QLocale::c());
}

TEST(FloatToStr, NamesTheSpecialValues) {
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("NAN"));
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), QStringLiteral("INF"));
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), QStringLiteral("-INF"));
}

struct TIntCase {
  const char* Text;
  bool Ok;
  int Value;
};

class TryStrToIntTest : public testing::TestWithParam<TIntCase> {};

TEST_P(TryStrToIntTest, TakesOnlyWholeNumbers) {
  int value = -12345;
  const bool ok = TryStrToInt(QString::fromLatin1(GetParam().Text), value);
  EXPECT_EQ(ok, GetParam().Ok);
  EXPECT_EQ(value, GetParam().Ok ? GetParam().Value : -12345) << "a failed conversion leaves the value alone";
}

INSTANTIATE_TEST_SUITE_P(Texts, TryStrToIntTest,
                         testing::Values(TIntCase{"0", true, 0}, TIntCase{"7", true, 7}, TIntCase{"07", true, 7},
                                         TIntCase{"+12", true, 12}, TIntCase{"-12", true, -12},
                                         TIntCase{"2147483647", true, 2147483647},
                                         TIntCase{"-2147483648", true, -2147483647 - 1},
                                         TIntCase{"2147483648", false, 0}, TIntCase{"-2147483649", false, 0},
                                         TIntCase{"99999999999999999999", false, 0}, TIntCase{"", false, 0},
                                         TIntCase{"-", false, 0}, TIntCase{"+", false, 0},
                                         TIntCase{" 1", false, 0}, TIntCase{"1 ", false, 0},
                                         TIntCase{"1.5", false, 0}, TIntCase{"$10", false, 0},
                                         TIntCase{"12a", false, 0}, TIntCase{"--1", false, 0}));

struct THexCase {
  const char* Text;
  int Value;
};

class StrToIntTest : public testing::TestWithParam<THexCase> {};

TEST_P(StrToIntTest, ConvertsHexadecimalAndDecimal) {
  EXPECT_EQ(StrToInt(QString::fromLatin1(GetParam().Text)), GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToIntTest,
                         testing::Values(THexCase{"$0", 0}, THexCase{"$0A", 10}, THexCase{"$ff", 255},
                                         THexCase{"$fff", 4095}, THexCase{"$64", 100}, THexCase{"$7FFFFFFF", 2147483647},
                                         THexCase{"42", 42}, THexCase{"-42", -42}));

class StrToIntErrorTest : public testing::TestWithParam<const char*> {};

TEST_P(StrToIntErrorTest, RaisesTheConversionError) {
  const QString text = QString::fromLatin1(GetParam());
  try {
    StrToInt(text);
    FAIL() << "no error for " << GetParam();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToIntErrorTest,
                         testing::Values("$G1", "$-1", "$", "", "$1 2", "$80000000", "abc", "$ 1", "0x10"));

TEST(StrToInt, ErrorTextNamesTheWholeConvertedText) {
  try {
    StrToInt(QStringLiteral("$G1"));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), QStringLiteral("'$G1' is not a valid integer value"));
    EXPECT_STREQ(e.what(), "'$G1' is not a valid integer value");
  }
}

}  // namespace
