// The store against a hostile Korvane.mdb, one not written by this program:
// a 1 MB text, numbers far out of range or of the wrong type, NULLs, 10,000
// node rows, 300 instruction rows. Every read gives the values whole or
// raises an error naming the column; nothing is written past the 256-word
// program, and a failed read leaves the caller's record as it was.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "data.h"
#include "hostiledatabase.h"
#include "schema.h"
#include "sqlfile.h"
#include "testsupport.h"

namespace {

// A fresh file with loose tables, made hostile by `statements`, and the
// database module opened on it.
struct THostileStore {
  explicit THostileStore(const QStringList& statements) {
    TSqlFile sql(QStringLiteral("Korvane.mdb"));
    for (const QString& s : hostile::LooseTables() + statements) sql.Exec(s);
  }
  TTempCwd Cwd;
  const bool Created = (CreateDatabaseFile(QStringLiteral("Korvane.mdb")), true);
};

// Holds the module apart from the fixture so that the file is ready first.
struct TOpened {
  TErrorRecorder Errors;
  TDataMod Mod;
  const bool Opened = (Mod.DataModuleCreate(), true);
};

struct THostileCase {
  const char* Name;
  QStringList Statements;
  const char* Error;  // part of the error raised, or nullptr for a read that succeeds
};

// Reads the configuration row; the record is left alone when it raises.
TEST(HostileConfig, ReadsWholeOrRaisesNamingTheColumn) {
  const THostileCase cases[] = {
      {"NullPort", {"UPDATE ConfigTable SET COMPort = NULL"}, "the column COMPort holds no value"},
      {"FlagsAsText", {"UPDATE ConfigTable SET ViewFlag = 'fifteen'"}, "column ViewFlag is not a 32-bit integer"},
      {"PriorityOutOfRange", {"UPDATE ConfigTable SET Pri = 99999999999"}, "column Pri is not a 32-bit integer"},
      {"FractionalBaud", {"UPDATE ConfigTable SET CANBaud = 2.5"}, "column CANBaud is not a 32-bit integer"},
      {"FlagAsBlob", {"UPDATE ConfigTable SET AutoRpt = x'00FF'"}, "column AutoRpt is not a boolean"},
      {"IndexesOutsideTheLists", {"UPDATE ConfigTable SET RS485Baud = 300, CANBaud = -7"}, nullptr},
      {"MegabytePortName", {"UPDATE ConfigTable SET COMPort = " + hostile::MegabyteText()}, nullptr},
  };
  for (const THostileCase& c : cases) {
    THostileStore file(c.Statements);
    TOpened store;
    TConfigStu config;
    config.COMPort = "untouched";
    config.Pri = 5;
    if (c.Error) {
      try {
        store.Mod.ReadConfig(config);
        ADD_FAILURE() << c.Name << ": no error";
      } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.Message().contains(QLatin1String(c.Error))) << c.Name << ": " << e.Message().toStdString();
      }
      EXPECT_EQ(config.COMPort, "untouched") << c.Name;
      EXPECT_EQ(config.Pri, 5) << c.Name;
    } else {
      EXPECT_TRUE(store.Mod.ReadConfig(config)) << c.Name;
    }
  }
}

TEST(HostileConfig, ValuesOutsideTheListsAndAMegabyteNameReadAsStored) {
  THostileStore file({"UPDATE ConfigTable SET RS485Baud = 300, CANBaud = -7, COMPort = " + hostile::MegabyteText()});
  TOpened store;
  TConfigStu config;
  ASSERT_TRUE(store.Mod.ReadConfig(config));
  EXPECT_EQ(config.RS485Baud, 300);
  EXPECT_EQ(config.CANBaud, -7);
  EXPECT_EQ(config.COMPort.size(), hostile::MegabyteLength);
}

// Reads every node until a row does not convert; the records before it are
// handed over, the one being filled is not.
TEST(HostileNodes, ReadWholeOrStopAtTheRowThatDoesNotConvert) {
  const QString good = "INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) VALUES('good', 0, 1, 0, 0)";
  const auto bad = [](const char* values) {
    return QStringLiteral("INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) VALUES(%1)")
        .arg(QLatin1String(values));
  };
  struct TNodeCase {
    const char* Name;
    QString BadRow;
    const char* Error;
    std::vector<QString> Before;  // names handed over before the bad row; NULL and -1e300 sort first
  };
  const TNodeCase cases[] = {
      {"AddressOutOfRange", bad("'n', 1, 5000000000, 0, 0"), "column Addr is not a 32-bit integer", {"good"}},
      {"ChannelFarNegative", bad("'n', -1e300, 1, 0, 0"), "column Channel is not a 32-bit integer", {}},
      {"AngleAsText", bad("'n', 1, 2, 'ninety', 0"), "column Angle is not a 32-bit integer", {"good"}},
      {"IntervalAsBlob", bad("'n', 1, 3, 0, x'DEADBEEF'"), "column Interv is not a 32-bit integer", {"good"}},
      {"NullName", bad("NULL, 1, 4, 0, 0"), "the column NodeName holds no value", {"good"}},
      {"NullChannel", bad("'n', NULL, 5, 0, 0"), "the column Channel holds no value", {}},
  };
  for (const TNodeCase& c : cases) {
    THostileStore file({good, c.BadRow});
    TOpened store;
    std::vector<QString> names;
    try {
      store.Mod.ReadNodes([&](TNodeStu* node) {
        names.push_back(node->NodeName);
        delete node;
      });
      ADD_FAILURE() << c.Name << ": no error";
    } catch (const EDatabaseError& e) {
      EXPECT_TRUE(e.Message().contains(QLatin1String(c.Error))) << c.Name << ": " << e.Message().toStdString();
    }
    EXPECT_EQ(names, c.Before) << c.Name;
  }
}

TEST(HostileNodes, AMegabyteNameAndTenThousandRowsAreReadWhole) {
  THostileStore file({hostile::Nodes(10000),
                      "INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) VALUES(" +
                          hostile::MegabyteText() + ", 9, 9, 9, 9)"});
  TOpened store;
  int count = 0, longest = 0, lastChannel = -1;
  bool ordered = true;
  ASSERT_TRUE(store.Mod.ReadNodes([&](TNodeStu* node) {
    ++count;
    longest = std::max(longest, static_cast<int>(node->NodeName.size()));
    ordered = ordered && node->Channel >= lastChannel;
    lastChannel = node->Channel;
    delete node;
  }));
  EXPECT_EQ(count, 10001);
  EXPECT_EQ(longest, hostile::MegabyteLength);
  EXPECT_TRUE(ordered);
}

// The program buffer with guard words on both sides, so that a write past
// either end shows.
struct TGuardedProgram {
  static constexpr std::uint32_t Guard = 0xA5A5A5A5;
  static constexpr std::uint32_t Untouched = 0x5A5A5A5A;
  std::array<TInsStu, MaxInsCount + 8> Words;

  TGuardedProgram() {
    for (TInsStu& w : Words) w.Word = Guard;
    for (int i = 0; i < MaxInsCount; ++i) Buffer()[i].Word = Untouched;
  }
  TInsStu* Buffer() { return Words.data() + 4; }
  bool GuardsIntact() const {
    for (int i = 0; i < 4; ++i) {
      if (Words[i].Word != Guard || Words[Words.size() - 1 - i].Word != Guard) return false;
    }
    return true;
  }
};

TEST(HostileInsts, ThreeHundredRowsFillTheBufferAndNotOneWordMore) {
  THostileStore file({hostile::InsRows(300)});
  TOpened store;
  TGuardedProgram program;
  EXPECT_EQ(store.Mod.ReadInsts(program.Buffer()), MaxInsCount);
  EXPECT_TRUE(program.GuardsIntact());
  EXPECT_EQ(program.Buffer()[255].PWM_Delay_Count(), 1000 + 255);
}

TEST(HostileInsts, ReadUntilTheRowThatDoesNotConvertAndKeepTheRest) {
  const auto row = [](const char* values) {
    return QStringLiteral(
               "INSERT INTO InsTable(\"Index\", InsType, Channel_CountIndex, Addr_InsIndex, PWM_Delay_Count) "
               "VALUES(%1)")
        .arg(QLatin1String(values));
  };
  const QString first = row("0, 1, 2, 3, 4");
  const THostileCase cases[] = {
      {"AddressAbove255", {first, row("1, 1, 1, 300, 0")}, "column Addr_InsIndex is not a 8-bit unsigned integer"},
      {"ValueAbove16Bits", {first, row("1, 1, 1, 1, 70000")}, "column PWM_Delay_Count is not a 16-bit integer"},
      {"TypeAsText", {first, row("1, 'send', 1, 1, 0")}, "column InsType is not a 32-bit integer"},
      {"NullValue", {first, row("1, 1, 1, 1, NULL")}, "the column PWM_Delay_Count holds no value"},
  };
  for (const THostileCase& c : cases) {
    THostileStore file(c.Statements);
    TOpened store;
    TGuardedProgram program;
    try {
      store.Mod.ReadInsts(program.Buffer());
      ADD_FAILURE() << c.Name << ": no error";
    } catch (const EDatabaseError& e) {
      EXPECT_TRUE(e.Message().contains(QLatin1String(c.Error))) << c.Name << ": " << e.Message().toStdString();
    }
    EXPECT_EQ(program.Buffer()[0].Word, 0x00040321u) << c.Name;
    EXPECT_EQ(program.Buffer()[1].Word, TGuardedProgram::Untouched) << c.Name << ": the bad row changed its word";
    EXPECT_TRUE(program.GuardsIntact()) << c.Name;
  }
}

TEST(HostileInsts, TypeAndBusColumnsBeyondFourBitsGiveTheirLowBits) {
  THostileStore file({"INSERT INTO InsTable(\"Index\", InsType, Channel_CountIndex, Addr_InsIndex, PWM_Delay_Count) "
                      "VALUES(0, 1000, -1, 255, -32768)"});
  TOpened store;
  TGuardedProgram program;
  ASSERT_EQ(store.Mod.ReadInsts(program.Buffer()), 1);
  EXPECT_EQ(program.Buffer()[0].InsType(), 1000u & 0xF);
  EXPECT_EQ(program.Buffer()[0].Channel_CountIndex(), 0xFu);
  EXPECT_EQ(program.Buffer()[0].Addr_InsIndex(), 255u);
  EXPECT_EQ(program.Buffer()[0].SignedValue(), -32768);
}

}  // namespace
