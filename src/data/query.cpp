#include "query.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <atomic>

namespace {

// Opens read-write and never creates: with "mode=rw" a missing file is an
// error instead of a new empty database. The busy time-out lets other
// processes share the file.
const char* const ConnectOptions = "QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000";
const char* const RowIdColumn = "__rowid";

[[noreturn]] void RaiseEngineError(const QSqlError& error) {
  const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
  throw EDatabaseError(text);
}

QString UniqueConnectionName() {
  static std::atomic<unsigned> counter{0};
  return QStringLiteral("servo_data_%1").arg(++counter);
}

QString ReadWriteUri(const QString& fileName) {
  const QString path = QFileInfo(fileName).absoluteFilePath();
  return QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) +
         QStringLiteral("?mode=rw");
}

QString QuoteIdentifier(QString name) {
  if (name.size() >= 2 && ((name.startsWith('"') && name.endsWith('"')) ||
                           (name.startsWith('[') && name.endsWith(']')) ||
                           (name.startsWith('`') && name.endsWith('`')))) {
    name = name.mid(1, name.size() - 2);
  }
  return '"' + name.replace('"', QStringLiteral("\"\"")) + '"';
}

bool IsNameStart(QChar c) { return c.isLetter() || c == '_'; }
bool IsNameChar(QChar c) { return c.isLetterOrNumber() || c == '_'; }

// Index just past a quoted section that starts at `from` (a string literal,
// a quoted identifier or a bracketed name), or `from` itself when none starts there.
int SkipQuoted(const QString& text, int from) {
  const QChar open = text[from];
  QChar close;
  if (open == '\'' || open == '"' || open == '`') {
    close = open;
  } else if (open == '[') {
    close = ']';
  } else {
    return from;
  }
  const int end = text.indexOf(close, from + 1);
  return end < 0 ? text.size() : end + 1;
}

// The colon-marked parameter names of a statement, in order of first use,
// ignoring colons inside literals and quoted names.
QStringList ParameterNames(const QString& text) {
  QStringList names;
  int i = 0;
  while (i < text.size()) {
    const int skipped = SkipQuoted(text, i);
    if (skipped != i) {
      i = skipped;
      continue;
    }
    if (text[i] == ':' && i + 1 < text.size() && IsNameStart(text[i + 1])) {
      int end = i + 1;
      while (end < text.size() && IsNameChar(text[end])) ++end;
      const QString name = text.mid(i + 1, end - i - 1);
      if (!names.contains(name, Qt::CaseInsensitive)) names << name;
      i = end;
      continue;
    }
    ++i;
  }
  return names;
}

const QRegularExpression& SelectAllPattern() {
  static const QRegularExpression pattern(
      QStringLiteral(R"(^\s*SELECT\s+\*\s+FROM\s+("[^"]+"|\[[^\]]+\]|`[^`]+`|\w+))"),
      QRegularExpression::CaseInsensitiveOption);
  return pattern;
}

void RequireConnected(const TAdoConnection& connection) {
  if (!connection.Connected())
    throw EDatabaseError(QStringLiteral("the database %1 is not open").arg(connection.FileName()));
}

// Runs one statement on the engine and returns the query positioned before
// its first result row. The values are bound by the given parameter names,
// or by position when no names are given.
QSqlQuery RunStatement(TAdoConnection& connection, const QString& text, const QVariantList& values,
                       const QStringList& names = {}) {
  RequireConnected(connection);
  connection.CountStatement();
  QSqlQuery query(connection.Database());
  query.setForwardOnly(true);
  if (!query.prepare(text)) RaiseEngineError(query.lastError());
  for (int i = 0; i < values.size(); ++i) {
    if (names.isEmpty()) {
      query.addBindValue(values[i]);
    } else {
      query.bindValue(':' + names[i], values[i]);
    }
  }
  if (!query.exec()) RaiseEngineError(query.lastError());
  return query;
}

// Runs a transaction control statement; these are not counted as statements
// of the program.
void RunControlStatement(TAdoConnection& connection, const char* text) {
  RequireConnected(connection);
  QSqlQuery query(connection.Database());
  if (!query.exec(QString::fromLatin1(text))) RaiseEngineError(query.lastError());
}

}  // namespace

// ---------------------------------------------------------------------------
// TAdoConnection

TAdoConnection::TAdoConnection() : FName(UniqueConnectionName()) {
  FDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FName);
}

TAdoConnection::~TAdoConnection() {
  Close();
  FDb = QSqlDatabase();
  QSqlDatabase::removeDatabase(FName);
}

void TAdoConnection::Open() {
  if (Connected()) return;
  if (!FDb.isValid()) throw EDatabaseError(QStringLiteral("the SQLite driver of Qt SQL is not available"));
  FDb.setConnectOptions(QString::fromLatin1(ConnectOptions));
  FDb.setDatabaseName(ReadWriteUri(FFileName));
  if (!FDb.open()) RaiseEngineError(FDb.lastError());
  // SQLite reads the file lazily; reading the schema now makes a file that
  // is not a database fail here rather than at the first statement.
  QSqlQuery probe(FDb);
  if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
    const QSqlError error = probe.lastError();
    probe = QSqlQuery();
    FDb.close();
    RaiseEngineError(error);
  }
}

void TAdoConnection::Close() {
  if (FDb.isOpen()) FDb.close();
}

bool TAdoConnection::Connected() const { return FDb.isOpen(); }

// IMMEDIATE takes the write lock at once, so a rewrite never fails half-way
// because another process started writing after its first read.
void TAdoConnection::BeginTrans() { RunControlStatement(*this, "BEGIN IMMEDIATE"); }
void TAdoConnection::CommitTrans() { RunControlStatement(*this, "COMMIT"); }
void TAdoConnection::RollbackTrans() { RunControlStatement(*this, "ROLLBACK"); }

// ---------------------------------------------------------------------------
// TAdoQuery

TAdoQuery::TAdoQuery(TAdoConnection& connection) : FConnection(connection) {}

void TAdoQuery::SetSQL(const QString& text) {
  Close();
  FSQL = text;
  FParamNames = ParameterNames(text);
  FParams.clear();
}

void TAdoQuery::SetParam(const QString& name, const QVariant& value) {
  for (const QString& declared : FParamNames) {
    if (declared.compare(name, Qt::CaseInsensitive) == 0) {
      FParams[declared] = value;
      return;
    }
  }
  throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
}

QVariantList TAdoQuery::ParamValuesInOrder() const {
  QVariantList values;
  for (const QString& name : FParamNames) {
    const auto found = FParams.find(name);
    if (found == FParams.end())
      throw EDatabaseError(QStringLiteral("No value given for parameter '%1'").arg(name));
    values << found->second;
  }
  return values;
}

int TAdoQuery::ExecSQL() {
  Close();
  QSqlQuery query = RunStatement(FConnection, FSQL, ParamValuesInOrder(), FParamNames);
  return query.numRowsAffected();
}

void TAdoQuery::Open() {
  Close();
  const QRegularExpressionMatch select = SelectAllPattern().match(FSQL);
  QString text = FSQL;
  QString table;
  if (select.hasMatch()) {
    table = select.captured(1);
    const int star = FSQL.indexOf('*');
    text = FSQL.left(star) + QStringLiteral("rowid AS %1, ").arg(QString::fromLatin1(RowIdColumn)) +
           FSQL.mid(star);
  }
  QSqlQuery query = RunStatement(FConnection, text, ParamValuesInOrder(), FParamNames);
  FColumns = ResultColumns(query.record());
  FTable = table;
  while (query.next()) FRows.push_back(RowOf(query));
  FActive = true;
  FCursor = 0;
}

void TAdoQuery::Close() {
  FActive = false;
  FTable.clear();
  FColumns.clear();
  FRows.clear();
  FCursor = 0;
  FState = TState::Browse;
  FPending.clear();
}

QStringList TAdoQuery::ResultColumns(const QSqlRecord& record) {
  QStringList columns;
  for (int i = 0; i < record.count(); ++i) {
    if (record.fieldName(i) != QLatin1String(RowIdColumn)) columns << record.fieldName(i);
  }
  return columns;
}

TAdoQuery::TRow TAdoQuery::RowOf(const QSqlQuery& query) const {
  const QSqlRecord record = query.record();
  TRow row;
  const int rowIdAt = record.indexOf(QString::fromLatin1(RowIdColumn));
  if (rowIdAt >= 0) row.RowId = query.value(rowIdAt).toLongLong();
  row.Values.reserve(FColumns.size());
  for (const QString& column : FColumns) row.Values.push_back(query.value(record.indexOf(column)));
  return row;
}

int TAdoQuery::RecordCount() const {
  RequireActive();
  return static_cast<int>(FRows.size());
}

bool TAdoQuery::Eof() const {
  RequireActive();
  return FCursor >= FRows.size();
}

void TAdoQuery::Next() {
  RequireBrowse();
  if (FCursor < FRows.size()) ++FCursor;
}

QVariant TAdoQuery::FieldValue(const QString& column) const {
  RequireActive();
  const int index = ColumnIndex(column);
  if (FState != TState::Browse) {
    const auto pending = FPending.find(index);
    if (pending != FPending.end()) return pending->second;
    if (FState == TState::Insert) return QVariant();
  }
  RequireRow();
  return FRows[FCursor].Values[index];
}

void TAdoQuery::SetFieldValue(const QString& column, const QVariant& value) {
  RequireActive();
  if (FState == TState::Browse)
    throw EDatabaseError(QStringLiteral("the result set is not being edited; call Edit or Append first"));
  FPending[ColumnIndex(column)] = value;
}

void TAdoQuery::Edit() {
  RequireBrowse();
  RequireUpdatable();
  RequireRow();
  FState = TState::Edit;
  FPending.clear();
}

void TAdoQuery::Append() {
  RequireBrowse();
  RequireUpdatable();
  FState = TState::Insert;
  FPending.clear();
}

void TAdoQuery::Post() {
  RequireActive();
  if (FState == TState::Edit) {
    PostEdit();
  } else if (FState == TState::Insert) {
    PostInsert();
  }
  FState = TState::Browse;
  FPending.clear();
}

QString TAdoQuery::ReturningClause() {
  return QStringLiteral(" RETURNING rowid AS %1, *").arg(QString::fromLatin1(RowIdColumn));
}

void TAdoQuery::PostEdit() {
  if (FPending.empty()) return;
  QStringList assignments;
  QVariantList values;
  for (const auto& [index, value] : FPending) {
    assignments << QuoteIdentifier(FColumns[index]) + QStringLiteral(" = ?");
    values << value;
  }
  values << FRows[FCursor].RowId;
  const QString text = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                           .arg(QuoteIdentifier(FTable), assignments.join(QStringLiteral(", "))) +
                       ReturningClause();
  QSqlQuery query = RunStatement(FConnection, text, values);
  if (!query.next()) throw EDatabaseError(QStringLiteral("the row to be updated is no longer in the table"));
  FRows[FCursor] = RowOf(query);
}

void TAdoQuery::PostInsert() {
  QStringList columns;
  QStringList marks;
  QVariantList values;
  for (const auto& [index, value] : FPending) {
    columns << QuoteIdentifier(FColumns[index]);
    marks << QStringLiteral("?");
    values << value;
  }
  const QString target = QuoteIdentifier(FTable);
  const QString text =
      (columns.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(target)
                         : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                               .arg(target, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))) +
      ReturningClause();
  QSqlQuery query = RunStatement(FConnection, text, values);
  if (!query.next()) throw EDatabaseError(QStringLiteral("the new row was not stored"));
  FRows.push_back(RowOf(query));
  FCursor = static_cast<int>(FRows.size()) - 1;
}

void TAdoQuery::Delete() {
  RequireActive();
  RequireUpdatable();
  FState = TState::Browse;
  FPending.clear();
  RequireRow();
  QSqlQuery query = RunStatement(FConnection, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(QuoteIdentifier(FTable)),
                                 {FRows[FCursor].RowId});
  if (query.numRowsAffected() < 1)
    throw EDatabaseError(QStringLiteral("the row to be deleted is no longer in the table"));
  FRows.remove(FCursor);
}

int TAdoQuery::ColumnIndex(const QString& column) const {
  for (int i = 0; i < FColumns.size(); ++i) {
    if (FColumns[i].compare(column, Qt::CaseInsensitive) == 0) return i;
  }
  throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(column));
}

void TAdoQuery::RequireActive() const {
  if (!FActive) throw EDatabaseError(QStringLiteral("the query has no open result set"));
}

void TAdoQuery::RequireBrowse() const {
  RequireActive();
  if (FState != TState::Browse)
    throw EDatabaseError(QStringLiteral("the current row has changes that are not posted"));
}

void TAdoQuery::RequireRow() const {
  if (FCursor >= FRows.size()) throw EDatabaseError(QStringLiteral("the result set has no current row"));
}

void TAdoQuery::RequireUpdatable() const {
  if (FTable.isEmpty()) throw EDatabaseError(QStringLiteral("the result set of \"%1\" cannot be changed").arg(FSQL));
}
