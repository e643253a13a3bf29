// The korvane-db tool, run as a process on files in a temporary directory.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "data.h"
#include "schema.h"
#include "sqlfile.h"
#include "swingplan.h"
#include "testsupport.h"

namespace {

QByteArray Contents(const QString& fileName) {
  QFile file(fileName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class KorvaneDbTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(qEnvironmentVariable("KORVANE_DB").isEmpty()) << "KORVANE_DB is not set"; }

  TProcessRun Run(const QStringList& args) {
    return RunProcess(qEnvironmentVariable("KORVANE_DB"), args, Cwd.Path());
  }

  TTempCwd Cwd;
};

TEST_F(KorvaneDbTest, InitMakesAFileTheProgramOpensWithItsDefaults) {
  const TProcessRun init = Run({"init"});
  EXPECT_EQ(init.ExitCode, 0) << init.Err.toStdString();
  EXPECT_EQ(init.Out, "Korvane.mdb: created\n");
  ASSERT_TRUE(QFileInfo::exists(Cwd.File("Korvane.mdb")));

  const TProcessRun check = Run({"check"});
  EXPECT_EQ(check.ExitCode, 0) << check.Err.toStdString();
  EXPECT_EQ(check.Out, "Korvane.mdb: ok\n");

  TErrorRecorder errors;
  TDataMod mod;
  mod.DataModuleCreate();
  EXPECT_TRUE(errors.Texts().isEmpty());
  TConfigStu config;
  ASSERT_TRUE(mod.ReadConfig(config));
  EXPECT_EQ(config.COMPort, "COM1");
  EXPECT_EQ(config.ViewFlag, 15);
  EXPECT_EQ(config.RS485Baud, 4);
  EXPECT_EQ(config.CANBaud, 4);
  EXPECT_EQ(config.Pri, 0);
  EXPECT_FALSE(config.IsExtID);
  EXPECT_TRUE(config.AutoStart);
  EXPECT_FALSE(config.AutoRpt);
  EXPECT_FALSE(config.PWMRpt);
  EXPECT_TRUE(config.MakePos);
  EXPECT_TRUE(mod.ReadNodes([](TNodeStu* node) { delete node; }));
  TInsStu buf[MaxInsCount];
  EXPECT_EQ(mod.ReadInsts(buf), 0);
}

TEST_F(KorvaneDbTest, InitRefusesToOverwriteAnExistingFile) {
  const QString name = Cwd.File("given.mdb");
  for (const QByteArray& existing : {QByteArray("some text"), QByteArray()}) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(existing);
    file.close();
    const TProcessRun run = Run({"init", name});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err, QStringLiteral("korvane-db: %1 already exists; it is not overwritten\n").arg(name));
    EXPECT_EQ(Contents(name), existing);
  }
}

TEST_F(KorvaneDbTest, InitIntoAMissingDirectoryFailsCleanly) {
  const TProcessRun run = Run({"init", "no/such/dir/Korvane.mdb"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_TRUE(run.Err.startsWith("korvane-db: cannot create no/such/dir/Korvane.mdb: ")) << run.Err.toStdString();
}

TEST_F(KorvaneDbTest, CheckListsEveryMissingTableAndColumn) {
  CreateDatabaseFile("Korvane.mdb");
  {
    TSqlFile sql("Korvane.mdb");
    sql.Exec("ALTER TABLE NodeTable DROP COLUMN Angle");
    sql.Exec("ALTER TABLE NodeTable DROP COLUMN Interv");
    sql.Exec("DROP TABLE InsTable");
  }
  const TProcessRun run = Run({"check", "Korvane.mdb"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err,
            "korvane-db: Korvane.mdb: missing column NodeTable.Angle\n"
            "korvane-db: Korvane.mdb: missing column NodeTable.Interv\n"
            "korvane-db: Korvane.mdb: missing table InsTable\n");
}

TEST_F(KorvaneDbTest, CheckNeedsExactlyOneConfigurationRow) {
  CreateDatabaseFile("Korvane.mdb");
  TSqlFile("Korvane.mdb").Exec("DELETE FROM ConfigTable");
  const TProcessRun run = Run({"check"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err, "korvane-db: Korvane.mdb: ConfigTable holds 0 rows; the program needs exactly one\n");
}

TEST_F(KorvaneDbTest, CheckReportsFilesThatCannotBeUsed) {
  QFile text(Cwd.File("text.mdb"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write(QByteArray(2048, 'x'));
  text.close();
  struct TCase {
    const char* File;
    const char* Err;
  };
  const TCase cases[] = {
      {"missing.mdb", "korvane-db: missing.mdb: no such file\n"},
      {"text.mdb", "korvane-db: text.mdb: file is not a database\n"},
      {".", "korvane-db: .: not a file\n"},
  };
  for (const TCase& c : cases) {
    const TProcessRun run = Run({"check", c.File});
    EXPECT_EQ(run.ExitCode, 1) << c.File;
    EXPECT_EQ(run.Err, c.Err);
  }
  EXPECT_FALSE(QFileInfo::exists(Cwd.File("missing.mdb")));
}

TEST_F(KorvaneDbTest, DemoAddsFourNodesAndTheirSwingProgram) {
  const TProcessRun init = Run({"init", "--demo", "demo.mdb"});
  ASSERT_EQ(init.ExitCode, 0) << init.Err.toStdString();
  EXPECT_EQ(init.Out, "demo.mdb: created\n");
  EXPECT_EQ(Run({"check", "demo.mdb"}).ExitCode, 0);

  TDataMod store(nullptr, Cwd.File("demo.mdb"));
  store.DataModuleCreate();
  TConfigStu config;
  ASSERT_TRUE(store.ReadConfig(config));
  EXPECT_TRUE(config.AutoRpt) << "the board reports by itself, so the charts move";
  EXPECT_TRUE(config.PWMRpt);
  std::vector<TNodeStu> nodes;
  ASSERT_TRUE(store.ReadNodes([&](TNodeStu* n) {
    nodes.push_back(*n);
    delete n;
  }));
  ASSERT_EQ(nodes.size(), 4u);
  EXPECT_EQ(std::count_if(nodes.begin(), nodes.end(), [](const TNodeStu& n) { return n.Channel == 1; }), 2);
  EXPECT_EQ(std::count_if(nodes.begin(), nodes.end(), [](const TNodeStu& n) { return n.Channel == 2; }), 2);

  // The program is the generator's for these nodes, position reads included.
  const std::vector<TSwingStep> plan = SwingPlan(nodes, true);
  TInsStu words[MaxInsCount] = {};
  ASSERT_EQ(store.ReadInsts(words), static_cast<int>(plan.size()));
  EXPECT_EQ(plan.size(), 2u * 4 + 9) << "different angles: one swing per node";
  for (std::size_t i = 0; i < plan.size(); ++i) {
    TInsStu expected;
    ApplySwingStep(plan[i], expected);
    EXPECT_EQ(words[i], expected) << i;
  }
}

TEST_F(KorvaneDbTest, HelpAndWrongUse) {
  const TProcessRun help = Run({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_TRUE(help.Out.startsWith("Usage: korvane-db init [--demo] [FILE]\n"));
  struct TCase {
    QStringList Args;
    const char* FirstLine;
  };
  const TCase cases[] = {
      {{}, "korvane-db: no command given"},
      {{"create"}, "korvane-db: unknown command 'create'"},
      {{"init", "a.mdb", "b.mdb"}, "korvane-db: too many arguments"},
  };
  for (const TCase& c : cases) {
    const TProcessRun run = Run(c.Args);
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_EQ(run.Err.section('\n', 0, 0), c.FirstLine);
    EXPECT_TRUE(run.Err.contains("Usage: korvane-db"));
  }
  EXPECT_TRUE(QDir(Cwd.Path()).isEmpty());
}

}  // namespace
