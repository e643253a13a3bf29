// The program killed (SIGKILL) while it rewrites a 256-word program: a child
// process keeps rewriting InsTable through the database module, switching
// between two programs, and is killed at random moments, many times over.
// Every time the file must pass SQLite's integrity check and hold one of the
// two programs whole.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "data.h"
#include "schema.h"
#include "sqlfile.h"
#include "testsupport.h"

namespace {

const char* const ChildDirVariable = "SERVO_KILLED_WRITE_DIR";
const char* const ChildTest = "KilledWrite.EveryKillLeavesTheOldOrTheNewProgramWhole";
constexpr int Kills = 60;

using TProgram = std::vector<TInsStu>;

// Every word differs between the two programs, in every column.
TProgram WholeProgram(std::uint32_t seed) {
  std::mt19937 random(seed);
  TProgram words(MaxInsCount);
  for (TInsStu& w : words) w.Word = static_cast<std::uint32_t>(random());
  return words;
}

const TProgram& OldProgram() {
  static const TProgram words = WholeProgram(1);
  return words;
}

const TProgram& NewProgram() {
  static const TProgram words = WholeProgram(2);
  return words;
}

// The child: rewrites the program for ever, new and old in turn; it says
// "ready" once the first rewrite is through, so the kills land while the
// rewrites go on.
[[noreturn]] void RewriteUntilKilled(const QString& dir) {
  QDir::setCurrent(dir);
  TDataMod mod;
  mod.DataModuleCreate();
  for (long n = 0;; ++n) {
    const TProgram& words = n % 2 == 0 ? NewProgram() : OldProgram();
    mod.WriteInsts(words.data(), MaxInsCount);
    if (n == 0) {
      std::fputs("ready\n", stdout);
      std::fflush(stdout);
    }
  }
}

TProgram StoredProgram(TSqlFile& sql) {
  TProgram words;
  for (const QVariantList& row :
       sql.Rows("SELECT InsType, Channel_CountIndex, Addr_InsIndex, PWM_Delay_Count FROM InsTable ORDER BY [Index]",
                {"InsType", "Channel_CountIndex", "Addr_InsIndex", "PWM_Delay_Count"})) {
    TInsStu w;
    w.SetInsType(row[0].toUInt());
    w.SetChannel_CountIndex(row[1].toUInt());
    w.SetAddr_InsIndex(row[2].toUInt());
    w.SetPWM_Delay_Count(static_cast<std::uint16_t>(row[3].toInt()));
    words.push_back(w);
  }
  return words;
}

TEST(KilledWrite, EveryKillLeavesTheOldOrTheNewProgramWhole) {
  if (qEnvironmentVariableIsSet(ChildDirVariable)) RewriteUntilKilled(qEnvironmentVariable(ChildDirVariable));

  TTempCwd cwd;
  CreateDatabaseFile("Korvane.mdb");
  {
    TDataMod mod;
    mod.DataModuleCreate();
    ASSERT_TRUE(mod.WriteInsts(OldProgram().data(), MaxInsCount));
  }
  std::mt19937 random(20261211);
  int oldWhole = 0, newWhole = 0, midWrite = 0;
  for (int kill = 0; kill < Kills; ++kill) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ChildDirVariable, cwd.Path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + ChildTest});
    ASSERT_TRUE(child.waitForReadyRead(20000)) << "the child did not start rewriting";
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 80000));
    child.kill();  // SIGKILL
    ASSERT_TRUE(child.waitForFinished(10000));
    // A journal left behind means the kill came in the middle of a rewrite.
    midWrite += QFileInfo("Korvane.mdb-journal").size() > 0;

    TSqlFile sql("Korvane.mdb");
    ASSERT_EQ(sql.Rows("PRAGMA integrity_check", {"integrity_check"}).value(0).value(0).toString(),
              QStringLiteral("ok"))
        << "kill " << kill;
    const TProgram stored = StoredProgram(sql);
    const bool isOld = stored == OldProgram();
    const bool isNew = stored == NewProgram();
    ASSERT_TRUE(isOld || isNew) << "kill " << kill << ": " << stored.size() << " words, neither program whole";
    oldWhole += isOld;
    newWhole += isNew;
  }
  EXPECT_EQ(oldWhole + newWhole, Kills);
  EXPECT_GT(midWrite, 0) << "no kill came during a rewrite";
  std::printf("%d kills, %d of them during a rewrite: %d left the old program, %d the new one\n", Kills, midWrite,
              oldWhole, newWhole);
}

}  // namespace
