// Node health in the real window: a row's Pos, Temp and Current turn grey
// when its node stops reporting during a run and back when a report comes;
// Temp turns red from 70 degrees. The texts never change.
#include <QTreeWidget>

#include "noderow.h"
#include "programfixture.h"

namespace {

class HealthTest : public TProgramFixture {
 protected:
  std::int64_t ClockMs = 100000;

  void SetUp() override {
    MakeDatabase();
    Sql(QStringLiteral("UPDATE ConfigTable SET COMPort = 'COM1'"));
    SqlNode(QStringLiteral("Arm"), 1, 5);
    SqlNode(QStringLiteral("Leg"), 2, 7);
    PlugBoardInto(1);
    CreateProgram();
    MainForm->FHealthClock = [this] { return ClockMs; };
    StartRunning();
  }

  static QTreeWidgetItem* Row(int index) { return MainForm->NodeList->topLevelItem(index); }

  // The colour each of Pos, Temp and Current shows in: "plain", "grey" or "red".
  static QStringList Looks(int index) {
    QStringList looks;
    for (int column : {5, 6, 7}) {
      const QVariant brush = Row(index)->data(column, Qt::ForegroundRole);
      if (!brush.isValid()) {
        looks << QStringLiteral("plain");
        continue;
      }
      const QColor colour = brush.value<QBrush>().color();
      looks << (colour.red() > 2 * colour.green() ? QStringLiteral("red") : QStringLiteral("grey"));
    }
    return looks;
  }

  static QStringList Texts(int index) {
    QStringList texts;
    for (int column : {5, 6, 7}) texts << Row(index)->text(column);
    return texts;
  }

  static void Measurement(int bus, int addr, int temperature, int current) {
    ASSERT_TRUE(DispatchPayload(MakeReport(temperature & 0xFF, bus, addr, 100, current)));
  }
  static void Position(int bus, int addr, int value) {
    ASSERT_TRUE(DispatchPayload(MakeReport(ReportKindPos, bus, addr, 100, value)));
  }
};

const QStringList AllPlain = {"plain", "plain", "plain"};
const QStringList AllGrey = {"grey", "grey", "grey"};

TEST_F(HealthTest, ARowWhoseReportsStopTurnsGreyAfterThreeSecondsAndBackOnAReport) {
  Position(1, 5, 123);
  Measurement(1, 5, 25, 250);
  Measurement(2, 7, 30, 100);
  const QStringList texts = Texts(0);
  ClockMs += 3000;
  MainForm->RunTimerTimer();
  EXPECT_EQ(Looks(0), AllPlain) << "3 s is not yet stale";
  ClockMs += 1;
  Measurement(2, 7, 30, 100);  // the other node keeps reporting
  MainForm->RunTimerTimer();
  EXPECT_EQ(Looks(0), AllGrey);
  EXPECT_EQ(Looks(1), AllPlain);
  EXPECT_EQ(Texts(0), texts) << "only the colour changes";
  Position(1, 5, 124);
  EXPECT_EQ(Looks(0), AllPlain) << "a report brings the row back at once";
  EXPECT_EQ(Texts(0), (QStringList{"12.4", "25", "2.5"}));
}

TEST_F(HealthTest, TempOf69IsPlainAndOf70Red) {
  Measurement(1, 5, 69, 250);
  EXPECT_EQ(Looks(0), AllPlain);
  Measurement(1, 5, 70, 250);
  EXPECT_EQ(Looks(0), (QStringList{"plain", "red", "plain"}));
  EXPECT_EQ(Texts(0), (QStringList{"", "70", "2.5"}));
  ClockMs += 5000;
  MainForm->RunTimerTimer();
  EXPECT_EQ(Looks(0), (QStringList{"grey", "red", "grey"})) << "a hot reading stays red when it gets old";
  Measurement(1, 5, 20, 250);
  EXPECT_EQ(Looks(0), AllPlain);
}

TEST_F(HealthTest, StoppingTheProgramTakesTheGreyAway) {
  Measurement(1, 5, 80, 250);
  ClockMs += 10000;
  MainForm->RunTimerTimer();
  EXPECT_EQ(Looks(0), (QStringList{"grey", "red", "grey"}));
  StopRunning();
  EXPECT_EQ(Looks(0), (QStringList{"plain", "red", "plain"}));
  StartRunning();
  EXPECT_EQ(Looks(0), (QStringList{"grey", "red", "grey"})) << "values from before the start are old at once";
}

TEST_F(HealthTest, ARowThatNeverReportedHasNoColours) {
  ClockMs += 10000;
  MainForm->RunTimerTimer();
  EXPECT_EQ(Row(1)->columnCount(), 5);
  EXPECT_EQ(Looks(1), AllPlain);
}

}  // namespace
