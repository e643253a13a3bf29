// The query and result-set layer over SQLite (Qt SQL, driver QSQLITE).
//
// TAdoConnection opens an existing database file read-write (it never creates
// one) with a busy time-out, so that other processes may use the same file.
// TAdoQuery holds one statement text whose parameters are the names marked
// with a leading colon. ExecSQL runs a statement that returns no rows; Open
// fetches the whole result into memory together with each row's rowid, so
// that RecordCount is exact and Edit/Post (UPDATE by rowid), Append/Post
// (INSERT) and Delete (DELETE by rowid) can change the table row by row.
// Every failure of the engine raises EDatabaseError with the engine's text.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <map>

#include "exception.h"

class QSqlQuery;
class QSqlRecord;

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

class TAdoConnection {
 public:
  TAdoConnection();
  ~TAdoConnection();
  TAdoConnection(const TAdoConnection&) = delete;
  TAdoConnection& operator=(const TAdoConnection&) = delete;

  void SetFileName(const QString& fileName) { FFileName = fileName; }
  const QString& FileName() const { return FFileName; }
  void Open();  // raises EDatabaseError when the file is missing or cannot be opened
  void Close();
  bool Connected() const;

  QSqlDatabase& Database() { return FDb; }
  const QString& ConnectionName() const { return FName; }

  // Number of statements the engine has been asked to run on this
  // connection (every execute, open, post and delete counts one).
  long StatementCount() const { return FStatements; }
  void CountStatement() { ++FStatements; }

  // Transactions for operations that must change a table as a whole.
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();

 private:
  QString FName;
  QString FFileName;
  QSqlDatabase FDb;
  long FStatements = 0;
};

class TAdoQuery {
 public:
  explicit TAdoQuery(TAdoConnection& connection);

  // Replaces the statement text; closes an open result set and derives the
  // parameter list from the colon-marked names.
  void SetSQL(const QString& text);
  const QString& SQL() const { return FSQL; }
  const QStringList& ParamNames() const { return FParamNames; }
  void SetParam(const QString& name, const QVariant& value);  // raises for an unknown name

  int ExecSQL();  // rows affected

  void Open();
  void Close();
  bool Active() const { return FActive; }

  // Result set.
  int RecordCount() const;
  bool Eof() const;
  void Next();
  QVariant FieldValue(const QString& column) const;  // raises for an unknown column
  void SetFieldValue(const QString& column, const QVariant& value);
  void Edit();
  void Append();
  void Post();
  void Delete();

 private:
  struct TRow {
    qint64 RowId = 0;
    QVector<QVariant> Values;
  };
  enum class TState { Browse, Edit, Insert };

  QVariantList ParamValuesInOrder() const;
  static QStringList ResultColumns(const QSqlRecord& record);
  TRow RowOf(const QSqlQuery& query) const;
  static QString ReturningClause();
  void PostEdit();
  void PostInsert();
  int ColumnIndex(const QString& column) const;
  void RequireRow() const;
  void RequireActive() const;
  void RequireBrowse() const;
  void RequireUpdatable() const;

  TAdoConnection& FConnection;
  QString FSQL;
  QStringList FParamNames;
  std::map<QString, QVariant> FParams;

  bool FActive = false;
  QString FTable;  // the table behind a "SELECT * FROM" result set; empty when it cannot be changed
  QStringList FColumns;
  QVector<TRow> FRows;
  int FCursor = 0;
  TState FState = TState::Browse;
  std::map<int, QVariant> FPending;  // column index -> new value while editing or appending
};
