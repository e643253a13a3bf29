// The database module's operations against real SQLite files in a
// temporary directory.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "data.h"
#include "schema.h"
#include "sqlfile.h"
#include "testsupport.h"

namespace {

const QStringList ConfigColumns = {"COMPort", "ViewFlag", "RS485Baud", "CANBaud", "IsExtID",
                                   "Pri",     "AutoStart", "AutoRpt",  "PWMRpt",  "MakePos"};
const QStringList InsColumns = {"rowid", "Index", "InsType", "Channel_CountIndex", "Addr_InsIndex", "PWM_Delay_Count"};
const char* const InsRowsInOrder =
    "SELECT rowid, [Index], InsType, Channel_CountIndex, Addr_InsIndex, PWM_Delay_Count FROM InsTable "
    "ORDER BY [Index]";


// A fresh directory holding a new Korvane.mdb, a module opened on it as the
// program opens it, and a connection of the test's own.
struct TStore {
  TTempCwd Cwd;
  const bool Created = (CreateDatabaseFile(QStringLiteral("Korvane.mdb")), true);
  TErrorRecorder Errors;
  TSqlFile Sql{QStringLiteral("Korvane.mdb")};
  TDataMod Mod;
  const bool Opened = (Mod.DataModuleCreate(), true);

  long Statements() const { return Mod.ADOConnection1.StatementCount(); }
  QVariantList ConfigRow() { return Sql.Rows("SELECT * FROM ConfigTable", ConfigColumns).value(0); }
  QVector<QVariantList> InsRows() { return Sql.Rows(InsRowsInOrder, InsColumns); }
  int NodeCount() { return Sql.Value("SELECT count(*) AS V FROM NodeTable").toInt(); }
};

struct TNamedOp {
  const char* Name;
  std::function<void(TDataMod&)> Run;
};

// Every operation that writes to the file.
std::vector<TNamedOp> WritingOps() {
  return {
      {"UpdateCOMPort", [](TDataMod& m) { m.UpdateCOMPort("COM2"); }},
      {"UpdateViewFlag", [](TDataMod& m) { m.UpdateViewFlag(3); }},
      {"UpdateRS485Baud", [](TDataMod& m) { m.UpdateRS485Baud(1); }},
      {"UpdateCANBaud", [](TDataMod& m) { m.UpdateCANBaud(1); }},
      {"UpdateIsExtID", [](TDataMod& m) { m.UpdateIsExtID(true); }},
      {"UpdatePri", [](TDataMod& m) { m.UpdatePri(3); }},
      {"UpdateAutoStart", [](TDataMod& m) { m.UpdateAutoStart(false); }},
      {"UpdateAutoRpt", [](TDataMod& m) { m.UpdateAutoRpt(true); }},
      {"UpdatePWMRpt", [](TDataMod& m) { m.UpdatePWMRpt(true); }},
      {"UpdateMakePos", [](TDataMod& m) { m.UpdateMakePos(false); }},
      {"InsertNode", [](TDataMod& m) { TNodeStu n; n.NodeName = "n"; m.InsertNode(n); }},
      {"UpdateNode", [](TDataMod& m) { TNodeStu n; n.ID = 1; m.UpdateNode(n); }},
      {"DeleteNode", [](TDataMod& m) { m.DeleteNode(1); }},
      {"DeleteAllNodes", [](TDataMod& m) { m.DeleteAllNodes(); }},
      {"WriteInsts", [](TDataMod& m) { TInsStu w[2] = {{0x10001}, {0x20002}}; m.WriteInsts(w, 2); }},
  };
}

std::vector<TNamedOp> ReadingOps() {
  return {
      {"ReadConfig", [](TDataMod& m) { TConfigStu c; m.ReadConfig(c); }},
      {"ReadNodes", [](TDataMod& m) { m.ReadNodes([](TNodeStu* n) { delete n; }); }},
      {"ReadInsts", [](TDataMod& m) { TInsStu buf[MaxInsCount]; m.ReadInsts(buf); }},
  };
}

void ExpectConfigEq(const TConfigStu& actual, const TConfigStu& expected) {
  EXPECT_EQ(actual.COMPort, expected.COMPort);
  EXPECT_EQ(actual.ViewFlag, expected.ViewFlag);
  EXPECT_EQ(actual.RS485Baud, expected.RS485Baud);
  EXPECT_EQ(actual.CANBaud, expected.CANBaud);
  EXPECT_EQ(actual.Pri, expected.Pri);
  EXPECT_EQ(actual.IsExtID, expected.IsExtID);
  EXPECT_EQ(actual.AutoStart, expected.AutoStart);
  EXPECT_EQ(actual.AutoRpt, expected.AutoRpt);
  EXPECT_EQ(actual.PWMRpt, expected.PWMRpt);
  EXPECT_EQ(actual.WaveKind, expected.WaveKind);
  EXPECT_EQ(actual.MakePos, expected.MakePos);
}

TConfigStu SentinelConfig() {
  TConfigStu config;
  config.COMPort = "untouched";
  config.ViewFlag = 77;
  config.Pri = 5;
  config.AutoRpt = true;
  config.WaveKind = 2;
  return config;
}

std::vector<TNodeStu> ReadAllNodes(TDataMod& mod) {
  std::vector<TNodeStu> nodes;
  EXPECT_TRUE(mod.ReadNodes([&](TNodeStu* node) {
    nodes.push_back(*node);
    delete node;
  }));
  return nodes;
}

TNodeStu Node(const QString& name, int channel, int addr) { return MakeNode(name, channel, addr, 10 * addr, 100 * addr); }

std::vector<TInsStu> Program(int count, std::uint32_t base) {
  std::vector<TInsStu> words;
  for (int i = 0; i < count; ++i) words.push_back({base + 0x00010101u * static_cast<std::uint32_t>(i)});
  return words;
}

// ---------------------------------------------------------------------------
// Configuration row

TEST(ConfigTest, ANewFileReadsAsTheDesignedDefaults) {
  TStore store;
  EXPECT_TRUE(store.Errors.Texts().isEmpty());
  TConfigStu config;
  config.WaveKind = 3;
  EXPECT_TRUE(store.Mod.ReadConfig(config));
  TConfigStu expected = DefaultConfig();
  expected.WaveKind = 3;  // not stored: stays as the run set it
  ExpectConfigEq(config, expected);
}

TEST(ConfigTest, ReadConfigNeedsExactlyOneRowAndOtherwiseLeavesTheRecordAlone) {
  for (const char* change : {"DELETE FROM ConfigTable", "INSERT INTO ConfigTable SELECT * FROM ConfigTable"}) {
    TStore store;
    store.Sql.Exec(change);
    TConfigStu config = SentinelConfig();
    EXPECT_FALSE(store.Mod.ReadConfig(config)) << change;
    ExpectConfigEq(config, SentinelConfig());
  }
}

TEST(ConfigTest, EachUpdateRunsOneStatementAndChangesOnlyItsColumn) {
  struct TCase {
    const char* Column;
    std::function<bool(TDataMod&)> Update;
    QVariant Stored;
  };
  const TCase cases[] = {
      {"COMPort", [](TDataMod& m) { return m.UpdateCOMPort("COM7"); }, "COM7"},
      {"ViewFlag", [](TDataMod& m) { return m.UpdateViewFlag(13); }, 13},
      {"RS485Baud", [](TDataMod& m) { return m.UpdateRS485Baud(7); }, 7},
      {"CANBaud", [](TDataMod& m) { return m.UpdateCANBaud(2); }, 2},
      {"IsExtID", [](TDataMod& m) { return m.UpdateIsExtID(true); }, 1},
      {"Pri", [](TDataMod& m) { return m.UpdatePri(31); }, 31},
      {"AutoStart", [](TDataMod& m) { return m.UpdateAutoStart(false); }, 0},
      {"AutoRpt", [](TDataMod& m) { return m.UpdateAutoRpt(true); }, 1},
      {"PWMRpt", [](TDataMod& m) { return m.UpdatePWMRpt(true); }, 1},
      {"MakePos", [](TDataMod& m) { return m.UpdateMakePos(false); }, 0},
  };
  TStore store;
  for (const TCase& c : cases) {
    QVariantList expected = store.ConfigRow();
    expected[ConfigColumns.indexOf(c.Column)] = c.Stored;
    const long before = store.Statements();
    EXPECT_TRUE(c.Update(store.Mod)) << c.Column;
    EXPECT_EQ(store.Statements() - before, 1) << c.Column;
    EXPECT_EQ(store.ConfigRow(), expected) << c.Column;
  }
  TConfigStu config;
  ASSERT_TRUE(store.Mod.ReadConfig(config));
  TConfigStu expected;
  expected.COMPort = "COM7";
  expected.ViewFlag = 13;
  expected.RS485Baud = 7;
  expected.CANBaud = 2;
  expected.IsExtID = true;
  expected.Pri = 31;
  expected.AutoStart = false;
  expected.AutoRpt = true;
  expected.PWMRpt = true;
  expected.MakePos = false;
  ExpectConfigEq(config, expected);
}

TEST(ConfigTest, UpdatesReportFalseWithoutExactlyOneRow) {
  TStore store;
  store.Sql.Exec("INSERT INTO ConfigTable SELECT * FROM ConfigTable");
  EXPECT_FALSE(store.Mod.UpdatePri(9));
  EXPECT_EQ(store.Sql.Value("SELECT count(*) AS V FROM ConfigTable WHERE Pri = 9").toInt(), 2);
  store.Sql.Exec("DELETE FROM ConfigTable");
  EXPECT_FALSE(store.Mod.UpdateCOMPort("COM2"));
  EXPECT_FALSE(store.Mod.UpdateAutoRpt(true));
}

TEST(ConfigTest, UpdateWaveKindStoresNothing) {
  TStore store;
  const QVariantList before = store.ConfigRow();
  const long statements = store.Statements();
  EXPECT_FALSE(store.Mod.UpdateWaveKind(2));
  EXPECT_EQ(store.Statements(), statements);
  EXPECT_EQ(store.ConfigRow(), before);
}

TEST(ConfigTest, AValueThatDoesNotConvertRaisesNamingItsColumn) {
  struct TCase {
    const char* Column;
    const char* Value;
    const char* Message;
  };
  const TCase cases[] = {
      {"COMPort", "NULL", "the column COMPort holds no value"},
      {"ViewFlag", "NULL", "the column ViewFlag holds no value"},
      {"ViewFlag", "'abc'", "the value 'abc' of column ViewFlag is not a 32-bit integer"},
      {"Pri", "4294967296", "the value '4294967296' of column Pri is not a 32-bit integer"},
      {"RS485Baud", "2.5", "the value '2.5' of column RS485Baud is not a 32-bit integer"},
      {"IsExtID", "'maybe'", "the value 'maybe' of column IsExtID is not a boolean"},
  };
  for (const TCase& c : cases) {
    TStore store;
    // A table made elsewhere, without the constraints of a new file.
    store.Sql.Exec("CREATE TABLE Loose AS SELECT * FROM ConfigTable");
    store.Sql.Exec("DROP TABLE ConfigTable");
    store.Sql.Exec("ALTER TABLE Loose RENAME TO ConfigTable");
    store.Sql.Exec(QStringLiteral("UPDATE ConfigTable SET %1 = %2").arg(c.Column, c.Value));
    TConfigStu config = SentinelConfig();
    EXPECT_EQ(MessageOf([&] { store.Mod.ReadConfig(config); }), c.Message);
    ExpectConfigEq(config, SentinelConfig());
  }
}

// ---------------------------------------------------------------------------
// Node table

TEST(NodeTest, NodesComeBackChannelThenAddrWithTheIdsTheInsertGave) {
  TStore store;
  std::vector<TNodeStu> inserted = {Node("a", 2, 1), Node("b", 1, 5), Node("c", 1, 3)};
  for (TNodeStu& node : inserted) {
    const long before = store.Statements();
    ASSERT_TRUE(store.Mod.InsertNode(node));
    EXPECT_EQ(store.Statements() - before, 2);  // the insert and the key read
  }
  EXPECT_NE(inserted[0].ID, inserted[1].ID);
  EXPECT_NE(inserted[1].ID, inserted[2].ID);

  TDataMod nextStart;
  nextStart.DataModuleCreate();
  const std::vector<TNodeStu> read = ReadAllNodes(nextStart);
  ASSERT_EQ(read.size(), 3u);
  const int order[] = {2, 1, 0};
  for (int i = 0; i < 3; ++i) {
    const TNodeStu& expected = inserted[order[i]];
    EXPECT_EQ(read[i].ID, expected.ID);
    EXPECT_EQ(read[i].NodeName, expected.NodeName);
    EXPECT_EQ(read[i].Channel, expected.Channel);
    EXPECT_EQ(read[i].Addr, expected.Addr);
    EXPECT_EQ(read[i].Angle, expected.Angle);
    EXPECT_EQ(read[i].Interv, expected.Interv);
  }
}

TEST(NodeTest, EmptyTableReadsTrueWithoutCallingBack) {
  TStore store;
  int calls = 0;
  EXPECT_TRUE(store.Mod.ReadNodes([&](TNodeStu* node) {
    ++calls;
    delete node;
  }));
  EXPECT_EQ(calls, 0);
}

TEST(NodeTest, ChangesReportWhetherARowWasAffected) {
  TStore store;
  TNodeStu node = Node("a", 1, 1);
  ASSERT_TRUE(store.Mod.InsertNode(node));
  node.NodeName = "renamed";
  node.Angle = -45;
  EXPECT_TRUE(store.Mod.UpdateNode(node));
  const std::vector<TNodeStu> read = ReadAllNodes(store.Mod);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].NodeName, "renamed");
  EXPECT_EQ(read[0].Angle, -45);

  TNodeStu unknown = node;
  unknown.ID = node.ID + 100;
  EXPECT_FALSE(store.Mod.UpdateNode(unknown));
  EXPECT_FALSE(store.Mod.DeleteNode(node.ID + 100));
  EXPECT_TRUE(store.Mod.DeleteNode(node.ID));
  EXPECT_EQ(store.NodeCount(), 0);
  EXPECT_TRUE(store.Mod.DeleteAllNodes());

  TNodeStu again = Node("b", 1, 2);
  ASSERT_TRUE(store.Mod.InsertNode(again));
  EXPECT_GT(again.ID, node.ID);  // keys are never reused
  EXPECT_TRUE(store.Mod.DeleteAllNodes());
  EXPECT_EQ(store.NodeCount(), 0);
}

TEST(NodeTest, ARowThatCannotBeReadEndsTheReadAfterTheRecordsBeforeIt) {
  TStore store;
  store.Sql.Exec("DROP TABLE NodeTable");
  store.Sql.Exec("CREATE TABLE NodeTable (ID INTEGER PRIMARY KEY, NodeName, Channel, Addr, Angle, Interv)");
  store.Sql.Exec("INSERT INTO NodeTable VALUES (1, 'a', 1, 1, 0, 0), (2, 'b', 1, 2, NULL, 0), (3, 'c', 1, 3, 0, 0)");
  std::vector<std::unique_ptr<TNodeStu>> handed;
  EXPECT_EQ(MessageOf([&] { store.Mod.ReadNodes([&](TNodeStu* n) { handed.emplace_back(n); }); }),
            "the column Angle holds no value");
  ASSERT_EQ(handed.size(), 1u);
  EXPECT_EQ(handed[0]->NodeName, "a");
}

// ---------------------------------------------------------------------------
// Instruction table

TEST(InsTest, WriteInstsEditsInPlaceThenDeletesOrAppends) {
  struct TCase {
    int Existing;
    int Count;
    long Statements;  // the open, then one per row edited, deleted or appended
  };
  const TCase cases[] = {{3, 5, 6}, {5, 3, 6}, {4, 0, 5}, {0, 0, 1}, {0, 2, 3}};
  for (const TCase& c : cases) {
    TStore store;
    const std::vector<TInsStu> old = Program(c.Existing, 0x11);
    ASSERT_TRUE(store.Mod.WriteInsts(old.data(), c.Existing));
    const QVector<QVariantList> before = store.InsRows();

    const std::vector<TInsStu> words = Program(c.Count, 0x80A3);
    const long statements = store.Statements();
    EXPECT_TRUE(store.Mod.WriteInsts(words.data(), c.Count));
    EXPECT_EQ(store.Statements() - statements, c.Statements) << c.Existing << " -> " << c.Count;

    const QVector<QVariantList> after = store.InsRows();
    ASSERT_EQ(after.size(), c.Count);
    for (int i = 0; i < c.Count; ++i) {
      EXPECT_EQ(after[i][1].toInt(), i);
      if (i < c.Existing) {
        EXPECT_EQ(after[i][0], before[i][0]) << "row " << i << " is edited in place";
      }
    }
    std::vector<TInsStu> read(MaxInsCount);
    EXPECT_EQ(store.Mod.ReadInsts(read.data()), c.Count);
    read.resize(c.Count);
    EXPECT_EQ(read, words);
  }
}

TEST(InsTest, WordsMapToColumnsAndReadBackUnchanged) {
  struct TCase {
    std::uint32_t Word;
    QVariantList Columns;  // InsType, Channel_CountIndex, Addr_InsIndex, PWM_Delay_Count
  };
  const TCase cases[] = {
      {0xFFFE0A21u, {1, 2, 10, -2}},
      {0xFFFF0000u, {0, 0, 0, -1}},
      {0x7FFFFFFFu, {15, 15, 255, 32767}},
      {0x80000000u, {0, 0, 0, -32768}},
  };
  TStore store;
  std::vector<TInsStu> words;
  for (const TCase& c : cases) words.push_back({c.Word});
  ASSERT_TRUE(store.Mod.WriteInsts(words.data(), static_cast<int>(words.size())));
  const QVector<QVariantList> rows = store.InsRows();
  ASSERT_EQ(rows.size(), static_cast<int>(words.size()));
  for (int i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].mid(2), cases[i].Columns) << std::hex << cases[i].Word;

  std::vector<TInsStu> read(MaxInsCount, TInsStu{0xDEADBEEFu});
  EXPECT_EQ(store.Mod.ReadInsts(read.data()), static_cast<int>(words.size()));
  EXPECT_EQ(std::vector<TInsStu>(read.begin(), read.begin() + static_cast<long>(words.size())), words);
  EXPECT_EQ(read[words.size()].Word, 0xDEADBEEFu);  // words past the count are not touched
}

TEST(InsTest, TheTypeColumnsGiveTheirLowFourBits) {
  TStore store;
  store.Sql.Exec("INSERT INTO InsTable VALUES (0, 35, 18, 7, 1)");  // 0x23, 0x12
  TInsStu read[MaxInsCount] = {};
  ASSERT_EQ(store.Mod.ReadInsts(read), 1);
  EXPECT_EQ(read[0].Word, 0x00010723u);
}

TEST(InsTest, EditingOneWordRewritesEveryRow) {
  TStore store;
  std::vector<TInsStu> words = Program(100, 0x42);
  ASSERT_TRUE(store.Mod.WriteInsts(words.data(), 100));
  words[50].SetPWM_Delay_Count(1234);
  const long before = store.Statements();
  ASSERT_TRUE(store.Mod.WriteInsts(words.data(), 100));
  EXPECT_EQ(store.Statements() - before, 101);
}

TEST(InsTest, ARewriteRenumbersAForeignTableSoItReadsBackInTheOrderWritten) {
  TStore store;
  store.Sql.Exec("INSERT INTO InsTable VALUES (10, 1, 0, 0, 0), (30, 3, 0, 0, 0), (20, 2, 0, 0, 0)");
  const std::vector<TInsStu> words = Program(5, 0x0507);
  ASSERT_TRUE(store.Mod.WriteInsts(words.data(), 5));
  QVector<int> indexes;
  for (const QVariantList& row : store.InsRows()) indexes << row[1].toInt();
  EXPECT_EQ(indexes, QVector<int>({0, 1, 2, 3, 4}));
  std::vector<TInsStu> read(MaxInsCount);
  ASSERT_EQ(store.Mod.ReadInsts(read.data()), 5);
  read.resize(5);
  EXPECT_EQ(read, words);
}

TEST(InsTest, AnErrorInTheMiddleOfWriteInstsLeavesTheTableAsItWas) {
  struct TCase {
    const char* Trigger;
    int Existing;
    int Count;
  };
  const TCase cases[] = {
      {"BEFORE UPDATE ON InsTable WHEN NEW.InsType = 9", 5, 5},  // the third edit
      {"BEFORE INSERT ON InsTable WHEN NEW.[Index] = 4", 3, 5},  // the second append
      {"BEFORE DELETE ON InsTable WHEN OLD.[Index] = 4", 5, 3},  // the second delete
  };
  for (const TCase& c : cases) {
    TStore store;
    const std::vector<TInsStu> old = Program(c.Existing, 0x3);
    ASSERT_TRUE(store.Mod.WriteInsts(old.data(), c.Existing));
    store.Sql.Exec(QStringLiteral("CREATE TRIGGER Refuse %1 BEGIN SELECT RAISE(ABORT, 'refused by the test'); END")
                       .arg(c.Trigger));
    const QVector<QVariantList> before = store.InsRows();

    std::vector<TInsStu> words = Program(c.Count, 0x1);
    words[2].SetInsType(9);
    EXPECT_EQ(MessageOf([&] { store.Mod.WriteInsts(words.data(), c.Count); }), "refused by the test") << c.Trigger;
    EXPECT_EQ(store.InsRows(), before) << c.Trigger;
    EXPECT_FALSE(store.Mod.ADOQuery1.Active());

    store.Sql.Exec("DROP TRIGGER Refuse");
    EXPECT_TRUE(store.Mod.WriteInsts(words.data(), c.Count)) << "the failed rewrite left no transaction open";
    EXPECT_EQ(store.InsRows().size(), c.Count);
  }
}

TEST(InsTest, ReadInstsFillsAtMostTheBufferWhateverTheTableHolds) {
  TStore store;
  store.Sql.Exec(
      "WITH RECURSIVE n(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM n WHERE x < 299) "
      "INSERT INTO InsTable SELECT x, x % 16, 0, x % 256, x FROM n");
  std::vector<TInsStu> buf(300, TInsStu{0xDEADBEEFu});
  EXPECT_EQ(store.Mod.ReadInsts(buf.data()), MaxInsCount);
  for (int k = 0; k < MaxInsCount; ++k) {
    EXPECT_EQ(buf[k].Word, std::uint32_t(k % 16) | std::uint32_t(k % 256) << 8 | std::uint32_t(k) << 16) << k;
  }
  for (std::size_t k = MaxInsCount; k < buf.size(); ++k) EXPECT_EQ(buf[k].Word, 0xDEADBEEFu) << k;
}

TEST(InsTest, ACountOutsideTheBufferIsRefusedBeforeAnythingRuns) {
  TStore store;
  const std::vector<TInsStu> words = Program(MaxInsCount + 1, 0x1);
  const long before = store.Statements();
  EXPECT_EQ(MessageOf([&] { store.Mod.WriteInsts(words.data(), MaxInsCount + 1); }),
            "the program has 257 instructions; at most 256 can be stored");
  EXPECT_EQ(MessageOf([&] { store.Mod.WriteInsts(words.data(), -1); }),
            "the program has -1 instructions; at most 256 can be stored");
  EXPECT_EQ(store.Statements(), before);
}

// ---------------------------------------------------------------------------
// The shared query and the connection

TEST(StoreTest, TheNextOperationWorksWithTheReadsResultSetStillOpen) {
  TStore store;
  TConfigStu config;
  ASSERT_TRUE(store.Mod.ReadConfig(config));
  ASSERT_TRUE(store.Mod.ADOQuery1.Active());
  EXPECT_TRUE(store.Mod.WriteInsts(Program(2, 1).data(), 2));
  TInsStu buf[MaxInsCount];
  EXPECT_EQ(store.Mod.ReadInsts(buf), 2);
  TNodeStu node = Node("n", 0, 7);
  EXPECT_TRUE(store.Mod.InsertNode(node));
  EXPECT_EQ(ReadAllNodes(store.Mod).size(), 1u);
  ASSERT_TRUE(store.Mod.ADOQuery1.Active());
  EXPECT_TRUE(store.Mod.UpdateCOMPort("COM3"));
  EXPECT_EQ(store.ConfigRow()[0].toString(), "COM3");
}

TEST(StoreTest, AMissingFileIsReportedAtCreationAndByEveryOperation) {
  TTempCwd cwd;
  TErrorRecorder errors;
  auto mod = std::make_unique<TDataMod>();
  DataMod = mod.get();
  EXPECT_EQ(MessageOf([&] { mod->DataModuleCreate(); }), "unable to open database file");
  EXPECT_TRUE(errors.Texts().isEmpty()) << "the store raises; showing is the caller's part";
  EXPECT_FALSE(mod->ADOConnection1.Connected());
  EXPECT_FALSE(QFileInfo::exists(cwd.File("Korvane.mdb")));
  std::vector<TNamedOp> ops = WritingOps();
  for (TNamedOp& op : ReadingOps()) ops.push_back(op);
  for (const TNamedOp& op : ops)
    EXPECT_EQ(MessageOf([&] { op.Run(*mod); }), "the database Korvane.mdb is not open") << op.Name;
  EXPECT_FALSE(QFileInfo::exists(cwd.File("Korvane.mdb")));
  mod.reset();
  EXPECT_EQ(DataMod, nullptr);
}

TEST(StoreTest, AFileThatIsNotADatabaseIsReportedAtCreation) {
  TTempCwd cwd;
  QFile file(cwd.File("Korvane.mdb"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("this is no database, only some text that is long enough to hold a header and more of it\n");
  file.close();
  TErrorRecorder errors;
  TDataMod mod;
  EXPECT_EQ(MessageOf([&] { mod.DataModuleCreate(); }), "file is not a database");
  EXPECT_TRUE(errors.Texts().isEmpty()) << "the store raises; showing is the caller's part";
  EXPECT_FALSE(mod.ADOConnection1.Connected());
}

TEST(StoreTest, AMissingTableRaisesTheEngineText) {
  TStore store;
  store.Sql.Exec("DROP TABLE ConfigTable");
  TConfigStu config;
  EXPECT_EQ(MessageOf([&] { store.Mod.ReadConfig(config); }), "no such table: ConfigTable");
  EXPECT_EQ(MessageOf([&] { store.Mod.UpdatePri(1); }), "no such table: ConfigTable");
}

// Root writes through file modes, so as root the test runs again in a child
// process that gives up its privileges first.
const char* const UnprivilegedRun = "SERVO_DATA_TEST_UNPRIVILEGED";
const uid_t NobodyId = 65534;

TEST(StoreTest, AReadOnlyFileReadsAndEveryWriteRaisesTheEngineError) {
  if (qEnvironmentVariableIsSet(UnprivilegedRun)) {
    ASSERT_EQ(setgid(NobodyId), 0);
    ASSERT_EQ(setuid(NobodyId), 0);
  } else if (geteuid() == 0) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(UnprivilegedRun, "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=StoreTest.AReadOnlyFileReadsAndEveryWriteRaisesTheEngineError"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    return;
  }
  TTempCwd cwd;
  CreateDatabaseFile("Korvane.mdb");
  {
    TDataMod writer;
    writer.DataModuleCreate();
    TNodeStu node = Node("n", 1, 1);
    ASSERT_TRUE(writer.InsertNode(node));
    ASSERT_TRUE(writer.WriteInsts(Program(3, 1).data(), 3));
  }
  ASSERT_EQ(chmod("Korvane.mdb", 0444), 0);
  TErrorRecorder errors;
  TDataMod mod;
  mod.DataModuleCreate();
  EXPECT_TRUE(errors.Texts().isEmpty()) << errors.Texts().join('\n').toStdString();
  TConfigStu config;
  EXPECT_TRUE(mod.ReadConfig(config));
  EXPECT_EQ(ReadAllNodes(mod).size(), 1u);
  TInsStu buf[MaxInsCount];
  EXPECT_EQ(mod.ReadInsts(buf), 3);
  for (const TNamedOp& op : WritingOps())
    EXPECT_EQ(MessageOf([&] { op.Run(mod); }), "attempt to write a readonly database") << op.Name;
}

}  // namespace
