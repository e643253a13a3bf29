// The query and result-set layer against real SQLite files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "query.h"
#include "schema.h"
#include "sqlfile.h"
#include "testsupport.h"

namespace {


class QueryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Connection.SetFileName(QStringLiteral("Korvane.mdb"));
    Connection.Open();
    Sql.Exec("INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) VALUES('a', 1, 1, 10, 100)");
    Sql.Exec("INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) VALUES('b', 1, 2, 20, 200)");
    Sql.Exec("INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) VALUES('c', 1, 3, 30, 300)");
  }

  QStringList NodeNames() {
    QStringList names;
    for (const QVariantList& row : Sql.Rows("SELECT NodeName FROM NodeTable ORDER BY ID", {"NodeName"}))
      names << row[0].toString();
    return names;
  }

  TTempCwd Cwd;
  const bool Created = (CreateDatabaseFile(QStringLiteral("Korvane.mdb")), true);
  TAdoConnection Connection;
  TAdoQuery Query{Connection};
  TSqlFile Sql{QStringLiteral("Korvane.mdb")};
};

TEST(ConnectionTest, MissingFileFailsToOpenAndIsNotCreated) {
  TTempCwd cwd;
  TAdoConnection connection;
  connection.SetFileName(QStringLiteral("Korvane.mdb"));
  EXPECT_EQ(MessageOf([&] { connection.Open(); }), "unable to open database file");
  EXPECT_FALSE(connection.Connected());
  EXPECT_FALSE(QFileInfo::exists(cwd.File("Korvane.mdb")));

  TAdoQuery query(connection);
  query.SetSQL(QStringLiteral("SELECT * FROM ConfigTable"));
  EXPECT_EQ(MessageOf([&] { query.Open(); }), "the database Korvane.mdb is not open");
  EXPECT_EQ(MessageOf([&] { query.ExecSQL(); }), "the database Korvane.mdb is not open");
  EXPECT_EQ(connection.StatementCount(), 0);
}

TEST(ConnectionTest, FileThatIsNotADatabaseFailsToOpen) {
  TTempCwd cwd;
  QFile file(cwd.File("Korvane.mdb"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(4096, 'x'));
  file.close();
  TAdoConnection connection;
  connection.SetFileName(QStringLiteral("Korvane.mdb"));
  EXPECT_EQ(MessageOf([&] { connection.Open(); }), "file is not a database");
  EXPECT_FALSE(connection.Connected());
}

TEST(ConnectionTest, PathWithUriSpecialCharactersOpensThatFile) {
  TTempCwd cwd;
  ASSERT_TRUE(QDir(cwd.Path()).mkpath("dir with space"));
  const QString name = cwd.File("dir with space/a?b#c%20d&mode=rwc.mdb");
  CreateDatabaseFile(name);
  TAdoConnection connection;
  connection.SetFileName(name);
  connection.Open();
  EXPECT_TRUE(connection.Connected());
  TAdoQuery query(connection);
  query.SetSQL(QStringLiteral("SELECT * FROM ConfigTable"));
  query.Open();
  EXPECT_EQ(query.RecordCount(), 1);
  EXPECT_EQ(QDir(cwd.Path() + "/dir with space").entryList(QDir::Files).size(), 1);
}

TEST(ConnectionTest, ConnectionsOnTheSameFileLiveSideBySide) {
  TTempCwd cwd;
  CreateDatabaseFile(QStringLiteral("Korvane.mdb"));
  TAdoConnection first;
  TAdoConnection second;
  EXPECT_NE(first.ConnectionName(), second.ConnectionName());
  for (TAdoConnection* connection : {&first, &second}) {
    connection->SetFileName(QStringLiteral("Korvane.mdb"));
    connection->Open();
  }
  TAdoQuery writer(first);
  writer.SetSQL(QStringLiteral("UPDATE ConfigTable SET Pri = 9"));
  EXPECT_EQ(writer.ExecSQL(), 1);
  TAdoQuery reader(second);
  reader.SetSQL(QStringLiteral("SELECT * FROM ConfigTable"));
  reader.Open();
  EXPECT_EQ(reader.FieldValue("Pri").toInt(), 9);
}

TEST(ParameterTest, NamesAreTheColonMarkedWordsOutsideQuotes) {
  struct TCase {
    const char* Text;
    QStringList Names;
  };
  const TCase cases[] = {
      {"SELECT * FROM ConfigTable", {}},
      {"UPDATE ConfigTable SET RS485Baud = :BaudIndex", {"BaudIndex"}},
      {"INSERT INTO T(a, b) VALUES(:A, :B_2)", {"A", "B_2"}},
      {"UPDATE T SET a = :X, b = :x WHERE c = :Y", {"X", "Y"}},
      {"UPDATE T SET a = ':no', \"b:no\" = 1, [c:no] = :Yes", {"Yes"}},
      {"SELECT a FROM T WHERE t = '12:30' AND b = :B", {"B"}},
  };
  TTempCwd cwd;
  TAdoConnection connection;
  TAdoQuery query(connection);
  for (const TCase& c : cases) {
    query.SetSQL(QString::fromLatin1(c.Text));
    EXPECT_EQ(query.ParamNames(), c.Names) << c.Text;
  }
}

TEST_F(QueryTest, ParametersAreBoundByNameAndMustAllHaveValues) {
  Query.SetSQL("UPDATE NodeTable SET Angle = :Angle, Interv = :Interv WHERE NodeName = :NodeName");
  EXPECT_EQ(MessageOf([&] { Query.SetParam("Nope", 1); }), "Parameter 'Nope' not found");
  Query.SetParam("NodeName", "b");
  Query.SetParam("Interv", 7);
  EXPECT_EQ(MessageOf([&] { Query.ExecSQL(); }), "No value given for parameter 'Angle'");
  Query.SetParam("angle", 5);  // names are not case-sensitive
  EXPECT_EQ(Query.ExecSQL(), 1);
  EXPECT_EQ(Sql.Rows("SELECT Angle, Interv FROM NodeTable WHERE NodeName = 'b'", {"Angle", "Interv"}),
            QVector<QVariantList>({{5, 7}}));
}

TEST_F(QueryTest, EngineErrorsCarryTheEngineText) {
  Query.SetSQL("SELECT * FROM NoSuchTable");
  EXPECT_EQ(MessageOf([&] { Query.Open(); }), "no such table: NoSuchTable");
  EXPECT_FALSE(Query.Active());
  Query.SetSQL("UPDATE NodeTable SET Nope = 1");
  EXPECT_EQ(MessageOf([&] { Query.ExecSQL(); }), "no such column: Nope");
  Query.SetSQL("INSERT INTO NodeTable(NodeName) VALUES(NULL)");
  EXPECT_EQ(MessageOf([&] { Query.ExecSQL(); }), "NOT NULL constraint failed: NodeTable.NodeName");
}

TEST_F(QueryTest, OpenFetchesEveryRowSoTheCountIsExact) {
  Query.SetSQL("SELECT * FROM NodeTable ORDER BY Addr DESC");
  Query.Open();
  EXPECT_TRUE(Query.Active());
  EXPECT_EQ(Query.RecordCount(), 3);
  QStringList names;
  for (; !Query.Eof(); Query.Next()) names << Query.FieldValue("nodename").toString();
  EXPECT_EQ(names, QStringList({"c", "b", "a"}));
  EXPECT_EQ(MessageOf([&] { Query.FieldValue("NodeName"); }), "the result set has no current row");
  EXPECT_EQ(MessageOf([&] { Query.FieldValue("__nothing"); }), "Field '__nothing' not found");

  Query.SetSQL("SELECT * FROM InsTable");
  Query.Open();
  EXPECT_EQ(Query.RecordCount(), 0);
  EXPECT_TRUE(Query.Eof());
}

TEST_F(QueryTest, EditPostUpdatesOnlyTheCurrentRow) {
  Query.SetSQL("SELECT * FROM NodeTable ORDER BY ID");
  Query.Open();
  Query.Next();
  const long before = Connection.StatementCount();
  Query.Edit();
  Query.SetFieldValue("NodeName", "B");
  Query.SetFieldValue("Angle", 21);
  EXPECT_EQ(Query.FieldValue("NodeName").toString(), "B");
  Query.Post();
  EXPECT_EQ(Connection.StatementCount() - before, 1);
  EXPECT_EQ(Query.FieldValue("Angle").toInt(), 21);
  EXPECT_EQ(NodeNames(), QStringList({"a", "B", "c"}));
  EXPECT_EQ(Sql.Value("SELECT Angle AS V FROM NodeTable WHERE NodeName = 'B'").toInt(), 21);
}

TEST_F(QueryTest, AppendPostInsertsAndTheRowJoinsTheResultSetAtItsEnd) {
  Query.SetSQL("SELECT * FROM NodeTable ORDER BY ID");
  Query.Open();
  const long before = Connection.StatementCount();
  Query.Append();
  for (const char* column : {"Channel", "Addr", "Angle", "Interv"}) Query.SetFieldValue(column, 4);
  Query.SetFieldValue("NodeName", "d");
  Query.Post();
  EXPECT_EQ(Connection.StatementCount() - before, 1);
  EXPECT_EQ(Query.RecordCount(), 4);
  EXPECT_EQ(Query.FieldValue("NodeName").toString(), "d");
  EXPECT_EQ(Query.FieldValue("ID").toInt(), 4);  // the engine's key is in the result set too
  EXPECT_EQ(NodeNames(), QStringList({"a", "b", "c", "d"}));
}

TEST_F(QueryTest, DeleteRemovesTheRowAndTheCursorStandsOnTheFollowingOne) {
  Query.SetSQL("SELECT * FROM NodeTable ORDER BY ID");
  Query.Open();
  Query.Delete();
  EXPECT_EQ(Query.RecordCount(), 2);
  EXPECT_EQ(Query.FieldValue("NodeName").toString(), "b");
  Query.Next();
  Query.Delete();
  EXPECT_TRUE(Query.Eof());
  EXPECT_EQ(NodeNames(), QStringList({"b"}));
}

TEST_F(QueryTest, ChangesToARowThatIsGoneRaise) {
  Query.SetSQL("SELECT * FROM NodeTable ORDER BY ID");
  Query.Open();
  Sql.Exec("DELETE FROM NodeTable WHERE NodeName = 'a'");
  Query.Edit();
  Query.SetFieldValue("Angle", 1);
  EXPECT_EQ(MessageOf([&] { Query.Post(); }), "the row to be updated is no longer in the table");
  Query.SetSQL("SELECT * FROM NodeTable ORDER BY ID");
  Query.Open();
  Sql.Exec("DELETE FROM NodeTable WHERE NodeName = 'b'");
  EXPECT_EQ(MessageOf([&] { Query.Delete(); }), "the row to be deleted is no longer in the table");
}

TEST_F(QueryTest, MisusedResultSetsRaiseInsteadOfGuessing) {
  Query.SetSQL("SELECT last_insert_rowid() AS ID");
  EXPECT_EQ(MessageOf([&] { Query.RecordCount(); }), "the query has no open result set");
  Query.Open();
  EXPECT_EQ(Query.RecordCount(), 1);
  EXPECT_EQ(MessageOf([&] { Query.Edit(); }), "the result set of \"SELECT last_insert_rowid() AS ID\" cannot be changed");

  Query.SetSQL("SELECT * FROM NodeTable");
  Query.Open();
  EXPECT_EQ(MessageOf([&] { Query.SetFieldValue("Angle", 1); }),
            "the result set is not being edited; call Edit or Append first");
  Query.Edit();
  EXPECT_EQ(MessageOf([&] { Query.Next(); }), "the current row has changes that are not posted");
}

TEST_F(QueryTest, BooleansAreStoredAsOneAndZeroAndReadBackAsBooleans) {
  for (const bool value : {true, false}) {
    Query.SetSQL("UPDATE ConfigTable SET AutoRpt = :AutoRpt");
    Query.SetParam("AutoRpt", value);
    EXPECT_EQ(Query.ExecSQL(), 1);
    EXPECT_EQ(Sql.Rows("SELECT typeof(AutoRpt) AS T, AutoRpt AS V FROM ConfigTable", {"T", "V"}),
              QVector<QVariantList>({{"integer", value ? 1 : 0}}));
    Query.SetSQL("SELECT * FROM ConfigTable");
    Query.Open();
    EXPECT_EQ(Query.FieldValue("AutoRpt").toBool(), value);
  }
}

TEST_F(QueryTest, RollbackUndoesEveryChangeOfTheTransaction) {
  Connection.BeginTrans();
  Query.SetSQL("DELETE FROM NodeTable");
  EXPECT_EQ(Query.ExecSQL(), 3);
  Connection.RollbackTrans();
  EXPECT_EQ(NodeNames(), QStringList({"a", "b", "c"}));
  Connection.BeginTrans();
  EXPECT_EQ(Query.ExecSQL(), 3);
  Connection.CommitTrans();
  EXPECT_TRUE(NodeNames().isEmpty());
}

}  // namespace
