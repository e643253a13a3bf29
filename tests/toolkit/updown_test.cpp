#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "updown.h"

namespace {

struct TUpDownFixture : testing::Test {
  QWidget Parent;
  QLineEdit* Buddy = new QLineEdit(&Parent);
  TUpDown* UpDown = new TUpDown(&Parent);

  void SetUp() override {
    UpDown->SetRange(-100, 100);
    UpDown->SetAssociate(Buddy);
  }
};

struct TClampCase {
  int Given;
  int Position;
};

class UpDownClampTest : public TUpDownFixture, public testing::WithParamInterface<TClampCase> {};

TEST_P(UpDownClampTest, ClampsAndShowsThePosition) {
  UpDown->SetPosition(GetParam().Given);
  EXPECT_EQ(UpDown->Position(), GetParam().Position);
  EXPECT_EQ(Buddy->text(), QString::number(GetParam().Position));
}

INSTANTIATE_TEST_SUITE_P(Values, UpDownClampTest,
                         testing::Values(TClampCase{0, 0}, TClampCase{-37, -37}, TClampCase{100, 100},
                                         TClampCase{101, 100}, TClampCase{-375, -100}, TClampCase{1000, 100},
                                         TClampCase{INT_MAX, 100}, TClampCase{INT_MIN, -100}));

TEST_F(TUpDownFixture, StepsByItsIncrementAndStopsAtTheEnds) {
  UpDown->SetRange(0, 5000);
  UpDown->SetIncrement(50);
  UpDown->SetPosition(4980);
  UpDown->StepBy(1);
  EXPECT_EQ(UpDown->Position(), 5000);
  UpDown->StepBy(-1);
  EXPECT_EQ(UpDown->Position(), 4950);
  UpDown->SetPosition(20);
  UpDown->StepBy(-1);
  EXPECT_EQ(UpDown->Position(), 0);
  EXPECT_EQ(Buddy->text(), QStringLiteral("0"));
}

TEST_F(TUpDownFixture, TakesATypedNumberOnlyInsideTheRange) {
  UpDown->SetPosition(5);
  QTest::keyClicks(Buddy, QStringLiteral("7"));  // "57"
  EXPECT_EQ(UpDown->Position(), 57);
  Buddy->setText(QStringLiteral("250"));
  EXPECT_EQ(UpDown->Position(), 57) << "outside the range: keeps the last valid position";
  Buddy->setText(QStringLiteral("x"));
  EXPECT_EQ(UpDown->Position(), 57);
  Buddy->setText(QString());
  EXPECT_EQ(UpDown->Position(), 57);
  Buddy->setText(QStringLiteral("-20"));
  EXPECT_EQ(UpDown->Position(), -20);
}

TEST_F(TUpDownFixture, AClickStartsFromTheTypedValue) {
  Buddy->setText(QStringLiteral("40"));
  UpDown->StepBy(1);
  EXPECT_EQ(UpDown->Position(), 41);
  EXPECT_EQ(Buddy->text(), QStringLiteral("41"));
}

TEST_F(TUpDownFixture, ArrowButtonsAndKeysStep) {
  UpDown->SetPosition(10);
  const auto buttons = UpDown->findChildren<QToolButton*>();
  ASSERT_EQ(buttons.size(), 2);
  for (QToolButton* b : buttons) {
    EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    b->click();
  }
  EXPECT_EQ(UpDown->Position(), 10) << "one up, one down";
  QTest::keyClick(Buddy, Qt::Key_Up);
  EXPECT_EQ(UpDown->Position(), 11);
  QTest::keyClick(Buddy, Qt::Key_Down);
  QTest::keyClick(Buddy, Qt::Key_Down);
  EXPECT_EQ(UpDown->Position(), 9);
}

TEST_F(TUpDownFixture, ReadOnlyBuddyIgnoresArrowKeys) {
  Buddy->setReadOnly(true);
  UpDown->SetPosition(3);
  QTest::keyClick(Buddy, Qt::Key_Up);
  EXPECT_EQ(UpDown->Position(), 3);
}

TEST_F(TUpDownFixture, NarrowingTheRangeClampsThePosition) {
  UpDown->SetPosition(90);
  UpDown->SetMax(60);
  EXPECT_EQ(UpDown->Position(), 60);
  UpDown->SetMin(70);
  EXPECT_EQ(UpDown->Min(), 70);
  EXPECT_EQ(UpDown->Max(), 70);
  EXPECT_EQ(UpDown->Position(), 70);
}

TEST_F(TUpDownFixture, ReportsOnlyRealChanges) {
  UpDown->SetPosition(1);
  QSignalSpy spy(UpDown, &TUpDown::PositionChanged);
  UpDown->SetPosition(1);
  UpDown->SetPosition(500);
  UpDown->SetPosition(100);
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 100);
}

TEST_F(TUpDownFixture, PropertiesWorkByName) {
  UpDown->setProperty("Min", 1);
  UpDown->setProperty("Max", 256);
  UpDown->setProperty("Increment", 1);
  UpDown->setProperty("Position", 1);
  EXPECT_EQ(UpDown->Min(), 1);
  EXPECT_EQ(UpDown->Max(), 256);
  EXPECT_EQ(Buddy->text(), QStringLiteral("1"));
}

}  // namespace
