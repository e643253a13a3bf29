// The Debian package: cpack packs the built tree into a temporary directory,
// dpkg-deb unpacks the package into a temporary root, and the tests look at
// the unpacked files and run the unpacked launcher with a temporary HOME on
// the offscreen platform.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "testsupport.h"

namespace {

const QStringList PackageTools = {"dpkg-deb", "dpkg-shlibdeps", "file"};
const QString Launcher = "usr/bin/servo-demo-launch";
const QString DesktopEntry = "usr/share/applications/servo-demo.desktop";
constexpr int LaunchWaitMs = 60000;

QStringList MissingPackageTools() {
  QStringList missing;
  for (const QString& tool : PackageTools)
    if (QStandardPaths::findExecutable(tool).isEmpty()) missing << tool;
  return missing;
}

QString Describe(const QString& what, const TProcessRun& run) {
  return QString("%1 ended with %2:\n%3%4").arg(what).arg(run.ExitCode).arg(run.Out, run.Err);
}

// The package, built and unpacked once for all tests.
struct TBuiltPackage {
  QTemporaryDir Dir;
  QString DebFile;
  QString Root;
  QString Error;
};

std::unique_ptr<TBuiltPackage> BuildPackage() {
  auto package = std::make_unique<TBuiltPackage>();
  const QString outDir = package->Dir.filePath("out");
  QDir().mkpath(outDir);
  const TProcessRun cpack = RunProcess(qEnvironmentVariable("SERVO_CPACK"),
                                       {"-G", "DEB", "-B", outDir, "--config", qEnvironmentVariable("SERVO_CPACK_CONFIG")},
                                       outDir);
  const QStringList debs = QDir(outDir).entryList({"*.deb"}, QDir::Files);
  if (cpack.ExitCode != 0 || debs.size() != 1) {
    package->Error = Describe("cpack", cpack);
    return package;
  }
  package->DebFile = QDir(outDir).filePath(debs.first());
  package->Root = package->Dir.filePath("root");
  const TProcessRun unpack = RunProcess("dpkg-deb", {"-x", package->DebFile, package->Root}, outDir);
  if (unpack.ExitCode != 0) package->Error = Describe("dpkg-deb -x", unpack);
  return package;
}

QString DebField(const QString& debFile, const QString& field) {
  return RunProcess("dpkg-deb", {"-f", debFile, field}, QDir::tempPath()).Out.trimmed();
}

QString ReadText(const QString& fileName) {
  QFile file(fileName);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The value of KEY in a desktop entry's text.
QString DesktopValue(const QString& entry, const QString& key) {
  const QRegularExpression line("^" + QRegularExpression::escape(key) + "=(.*)$",
                                QRegularExpression::MultilineOption);
  return line.match(entry).captured(1);
}

// SQLite's user_version of FILE, set first when SETTO is given: a mark only
// this test puts into a database file.
int UserVersion(const QString& fileName, int setTo = -1) {
  int value = -1;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "marker");
    db.setDatabaseName(fileName);
    if (db.open()) {
      QSqlQuery query(db);
      if (setTo >= 0) query.exec(QString("PRAGMA user_version = %1").arg(setTo));
      if (query.exec("PRAGMA user_version") && query.next()) value = query.value(0).toInt();
    }
  }
  QSqlDatabase::removeDatabase("marker");
  return value;
}

QString ExecutableOf(qint64 pid) {
  return QFileInfo(QString("/proc/%1/exe").arg(pid)).canonicalFilePath();
}

class PackageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (MissingPackageTools().isEmpty()) Built = BuildPackage();
  }
  static void TearDownTestSuite() { Built.reset(); }

  void SetUp() override {
    const QStringList missing = MissingPackageTools();
    if (!missing.isEmpty())
      GTEST_SKIP() << "cannot build the Debian package here: " << missing.join(", ").toStdString()
                   << " missing (on Debian, scripts/setup installs them)";
    ASSERT_FALSE(qEnvironmentVariable("SERVO_CPACK").isEmpty()) << "SERVO_CPACK is not set";
    ASSERT_TRUE(Built->Error.isEmpty()) << Built->Error.toStdString();
  }

  static QString Unpacked(const QString& path) { return QDir(Built->Root).filePath(path); }

  // An environment for the launcher: HOME in a temporary directory, no
  // XDG_DATA_HOME, the offscreen platform and no display, so that a failing
  // launcher only writes to standard error.
  QProcessEnvironment LaunchEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Home());
    env.remove("XDG_DATA_HOME");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
  }

  QString Home() const { return Scratch.filePath("home"); }
  QString DefaultWorkDir() const { return Home() + "/.local/share/servo-demo"; }

  // Runs the launcher until it has become the unpacked servo-demo; checks that
  // it made WORKDIR with a database file korvane-db accepts, that the
  // program still runs, and stops it.
  void ExpectProgramStartedIn(const QString& workDir, const QProcessEnvironment& env) {
    QDir().mkpath(env.value("HOME"));
    // A new database names COM1; without a link of its own the program would
    // open this machine's /dev/ttyS0, which may be its serial console.
    QDir().mkpath(workDir + "/dosdevices");
    QFile::link("/nonexistent/serial-port", workDir + "/dosdevices/com1");
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(Scratch.path());
    process.start(Unpacked(Launcher), {});
    ASSERT_TRUE(process.waitForStarted());
    const QString program = QFileInfo(Unpacked("usr/bin/servo-demo")).canonicalFilePath();
    const bool started = WaitUntil(
        [&] { return process.state() != QProcess::Running || ExecutableOf(process.processId()) == program; },
        LaunchWaitMs);
    ASSERT_TRUE(started && process.state() == QProcess::Running)
        << "the launcher did not start the program: "
        << QString::fromLocal8Bit(process.readAllStandardError()).toStdString();

    const QString database = QDir(workDir).filePath("Korvane.mdb");
    EXPECT_TRUE(QFileInfo(workDir).isDir()) << workDir.toStdString();
    const TProcessRun check = RunProcess(Unpacked("usr/bin/korvane-db"), {"check", database}, Scratch.path());
    EXPECT_EQ(check.ExitCode, 0) << Describe("korvane-db check", check).toStdString();
    EXPECT_EQ(process.state(), QProcess::Running) << "the program ended on its own";

    process.terminate();
    EXPECT_TRUE(process.waitForFinished(LaunchWaitMs));
  }

  static std::unique_ptr<TBuiltPackage> Built;
  QTemporaryDir Scratch;
};

std::unique_ptr<TBuiltPackage> PackageTest::Built;

TEST_F(PackageTest, HoldsTheCommandsTheMenuEntryTheIconAndTheManualPages) {
  struct TCase {
    QString Path;
    bool Executable;
  };
  const TCase cases[] = {
      {"usr/bin/servo-demo", true},
      {"usr/bin/korvane-db", true},
      {"usr/bin/servo-board-sim", true},
      {Launcher, true},
      {DesktopEntry, false},
      {"usr/share/icons/hicolor/scalable/apps/servo-demo.svg", false},
      {"usr/share/man/man1/servo-demo.1.gz", false},
      {"usr/share/man/man1/korvane-db.1.gz", false},
      {"usr/share/man/man1/servo-board-sim.1.gz", false},
      {"usr/share/man/man1/servo-demo-launch.1.gz", false},
      {"usr/share/doc/servo-demo/copyright", false},
      {"usr/share/doc/servo-demo/changelog.gz", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Path.toStdString());
    const QFileInfo file(Unpacked(c.Path));
    EXPECT_TRUE(file.isFile());
    EXPECT_EQ(file.isExecutable(), c.Executable);
  }
}

TEST_F(PackageTest, ControlFieldsCarryTheProjectVersionAndTheLibrariesTheProgramNeeds) {
  EXPECT_EQ(DebField(Built->DebFile, "Package"), "servo-demo");
  const QString version = DebField(Built->DebFile, "Version");
  EXPECT_EQ(version, qEnvironmentVariable("SERVO_PACKAGE_VERSION"));
  EXPECT_TRUE(QFileInfo(Built->DebFile).fileName().startsWith("servo-demo_" + version + "_"));

  // Named by hand: the SQLite driver is a plugin. Found by dpkg-shlibdeps:
  // the linked libraries, with their versions.
  const QString depends = DebField(Built->DebFile, "Depends");
  for (const char* library : {"libqt6sql6-sqlite", "libqt6widgets6 (", "libqt6sql6 (", "libqcustomplot", "libc6 ("}) {
    EXPECT_TRUE(depends.contains(library)) << library << " not in " << depends.toStdString();
  }
}

TEST_F(PackageTest, MenuEntryIsValidAndStartsTheLauncherWithTheIcon) {
  const QString entryFile = Unpacked(DesktopEntry);
  const QString entry = ReadText(entryFile);
  EXPECT_EQ(DesktopValue(entry, "Name"), "Communication servo demo");
  EXPECT_EQ(DesktopValue(entry, "Exec"), "servo-demo-launch");
  EXPECT_TRUE(QFileInfo(Unpacked("usr/bin/" + DesktopValue(entry, "Exec"))).isExecutable());
  EXPECT_TRUE(QFileInfo::exists(
      Unpacked("usr/share/icons/hicolor/scalable/apps/" + DesktopValue(entry, "Icon") + ".svg")));
  const QStringList categories = DesktopValue(entry, "Categories").split(';', Qt::SkipEmptyParts);
  EXPECT_TRUE(categories.contains("Development"));
  EXPECT_TRUE(categories.contains("Electronics"));

  if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
    GTEST_SKIP() << "desktop-file-validate missing (package desktop-file-utils; scripts/setup installs it)";
  const TProcessRun validate = RunProcess("desktop-file-validate", {entryFile}, Scratch.path());
  EXPECT_EQ(validate.ExitCode, 0) << Describe("desktop-file-validate", validate).toStdString();
  EXPECT_EQ(validate.Out + validate.Err, "");
}

TEST_F(PackageTest, LauncherMakesTheWorkDirectoryAndItsDatabaseAndStartsTheProgram) {
  struct TCase {
    const char* Name;
    QString DataHome;  // XDG_DATA_HOME; empty: unset
    QString WorkDir;
  };
  const QString dataHome = Scratch.filePath("data");
  const TCase cases[] = {
      {"XDG_DATA_HOME unset", "", DefaultWorkDir()},
      {"XDG_DATA_HOME set", dataHome, dataHome + "/servo-demo"},
      {"XDG_DATA_HOME relative, so not used", "relative/data", DefaultWorkDir()},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    QDir(Home()).removeRecursively();
    QDir(dataHome).removeRecursively();
    QProcessEnvironment env = LaunchEnvironment();
    if (!c.DataHome.isEmpty()) env.insert("XDG_DATA_HOME", c.DataHome);
    ExpectProgramStartedIn(c.WorkDir, env);
    EXPECT_FALSE(QFileInfo::exists(Scratch.filePath("relative")));
  }
}

TEST_F(PackageTest, LauncherKeepsAnExistingDatabase) {
  const QString database = DefaultWorkDir() + "/Korvane.mdb";
  QDir().mkpath(DefaultWorkDir());
  ASSERT_EQ(RunProcess(Unpacked("usr/bin/korvane-db"), {"init", database}, Scratch.path()).ExitCode, 0);
  ASSERT_EQ(UserVersion(database, 77), 77);

  ExpectProgramStartedIn(DefaultWorkDir(), LaunchEnvironment());
  EXPECT_EQ(UserVersion(database), 77);
}

TEST_F(PackageTest, LauncherSaysWhyWhenItCannotStartTheProgram) {
  // A launcher alone in a directory finds neither korvane-db nor the program;
  // with korvane-db beside it, it still lacks the program.
  const QString alone = Scratch.filePath("alone");
  const QString withoutProgram = Scratch.filePath("without-program");
  for (const QString& dir : {alone, withoutProgram}) {
    QDir().mkpath(dir);
    ASSERT_TRUE(QFile::copy(Unpacked(Launcher), dir + "/servo-demo-launch"));
  }
  ASSERT_TRUE(QFile::copy(Unpacked("usr/bin/korvane-db"), withoutProgram + "/korvane-db"));
  const QString blocker = Scratch.filePath("a-file");
  QFile(blocker).open(QIODevice::WriteOnly);

  struct TCase {
    const char* Name;
    std::function<void(QProcessEnvironment&)> Prepare;
    QString Launcher;
    QString Message;
  };
  const QString workDir = DefaultWorkDir();
  const TCase cases[] = {
      {"no HOME", [](QProcessEnvironment& env) { env.remove("HOME"); }, Unpacked(Launcher),
       "HOME is not set, so there is no place for the work directory"},
      {"a file where the work directory goes",
       [&](QProcessEnvironment& env) { env.insert("XDG_DATA_HOME", blocker); }, Unpacked(Launcher),
       "cannot make the work directory " + blocker + "/servo-demo: "},
      {"the database file a link to nothing",
       [&](QProcessEnvironment&) {
         QDir().mkpath(workDir);
         QFile::link(Scratch.filePath("gone.mdb"), workDir + "/Korvane.mdb");
       },
       Unpacked(Launcher),
       workDir + "/Korvane.mdb is a link to a file that is not there (" + Scratch.filePath("gone.mdb") + ")"},
      {"no korvane-db", [](QProcessEnvironment&) {}, alone + "/servo-demo-launch",
       "cannot make the database file " + workDir + "/Korvane.mdb: "},
      {"no program", [](QProcessEnvironment&) {}, withoutProgram + "/servo-demo-launch",
       "cannot find the program " + withoutProgram + "/servo-demo"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    QDir(Home()).removeRecursively();
    QDir().mkpath(Home());
    QProcessEnvironment env = LaunchEnvironment();
    c.Prepare(env);
    const TProcessRun run = RunProcess(c.Launcher, {}, Scratch.path(), env);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(run.Err.startsWith("servo-demo-launch: " + c.Message)) << run.Err.toStdString();
  }
}

}  // namespace
