#include "schema.h"

#include <QFile>
#include <QFileInfo>
#include <QPair>
#include <QSet>

#include "query.h"

namespace {

const char* const ConfigTableName = "ConfigTable";

using TColumnValues = QVector<QPair<QString, QVariant>>;

// The configuration row as column/value pairs, in the table's column order.
TColumnValues ConfigRowValues(const TConfigStu& config) {
  return {{QStringLiteral("COMPort"), config.COMPort},     {QStringLiteral("ViewFlag"), config.ViewFlag},
          {QStringLiteral("RS485Baud"), config.RS485Baud}, {QStringLiteral("CANBaud"), config.CANBaud},
          {QStringLiteral("IsExtID"), config.IsExtID},     {QStringLiteral("Pri"), config.Pri},
          {QStringLiteral("AutoStart"), config.AutoStart}, {QStringLiteral("AutoRpt"), config.AutoRpt},
          {QStringLiteral("PWMRpt"), config.PWMRpt},       {QStringLiteral("MakePos"), config.MakePos}};
}

QString InsertStatement(const QString& table, const TColumnValues& values) {
  QStringList columns;
  QStringList params;
  for (const auto& [column, value] : values) {
    columns << column;
    params << ':' + column;
  }
  return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
      .arg(table, columns.join(QStringLiteral(", ")), params.join(QStringLiteral(", ")));
}

void InsertRow(TAdoQuery& query, const QString& table, const TColumnValues& values) {
  query.SetSQL(InsertStatement(table, values));
  for (const auto& [column, value] : values) query.SetParam(column, value);
  query.ExecSQL();
}

void CreateTables(TAdoConnection& connection) {
  TAdoQuery query(connection);
  for (const TSchemaTable& table : SchemaTables()) {
    query.SetSQL(CreateTableStatement(table));
    query.ExecSQL();
  }
  InsertRow(query, QString::fromLatin1(ConfigTableName), ConfigRowValues(DefaultConfig()));
}

// Makes an empty file, failing when the name is taken: SQLite treats an
// empty file as an empty database, and creating it exclusively means an
// existing file is never opened for writing.
void CreateEmptyFile(const QString& fileName) {
  const QFileInfo info(fileName);
  if (info.exists() || info.isSymLink())
    throw EDatabaseError(QStringLiteral("%1 already exists; it is not overwritten").arg(fileName));
  QFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
    throw EDatabaseError(QStringLiteral("cannot create %1: %2").arg(fileName, file.errorString()));
}

void FillNewFile(const QString& fileName) {
  TAdoConnection connection;
  connection.SetFileName(fileName);
  connection.Open();
  connection.BeginTrans();
  try {
    CreateTables(connection);
    connection.CommitTrans();
  } catch (...) {
    connection.RollbackTrans();
    throw;
  }
}

QSet<QString> ColumnsOf(TAdoQuery& query, const QString& table) {
  query.SetSQL(QStringLiteral("SELECT name FROM pragma_table_info(:Table)"));
  query.SetParam(QStringLiteral("Table"), table);
  query.Open();
  QSet<QString> columns;
  for (; !query.Eof(); query.Next()) columns << query.FieldValue(QStringLiteral("name")).toString().toLower();
  return columns;
}

QStringList MissingParts(TAdoQuery& query, const TSchemaTable& table) {
  const QSet<QString> present = ColumnsOf(query, table.Name);
  if (present.isEmpty()) return {QStringLiteral("missing table %1").arg(table.Name)};
  QStringList missing;
  for (const TSchemaColumn& column : table.Columns) {
    if (!present.contains(column.Name.toLower()))
      missing << QStringLiteral("missing column %1.%2").arg(table.Name, column.Name);
  }
  return missing;
}

QStringList ConfigRowProblems(TAdoQuery& query) {
  query.SetSQL(QStringLiteral("SELECT count(*) AS N FROM %1").arg(QString::fromLatin1(ConfigTableName)));
  query.Open();
  const qlonglong rows = query.FieldValue(QStringLiteral("N")).toLongLong();
  if (rows == 1) return {};
  return {QStringLiteral("%1 holds %2 rows; the program needs exactly one")
              .arg(QString::fromLatin1(ConfigTableName))
              .arg(rows)};
}

}  // namespace

const QVector<TSchemaTable>& SchemaTables() {
  static const QVector<TSchemaTable> tables = {
      {QString::fromLatin1(ConfigTableName),
       {{"COMPort", "TEXT NOT NULL"},
        {"ViewFlag", "INTEGER NOT NULL"},
        {"RS485Baud", "INTEGER NOT NULL"},
        {"CANBaud", "INTEGER NOT NULL"},
        {"IsExtID", "BOOLEAN NOT NULL"},
        {"Pri", "INTEGER NOT NULL"},
        {"AutoStart", "BOOLEAN NOT NULL"},
        {"AutoRpt", "BOOLEAN NOT NULL"},
        {"PWMRpt", "BOOLEAN NOT NULL"},
        {"MakePos", "BOOLEAN NOT NULL"}}},
      {"NodeTable",
       {{"ID", "INTEGER PRIMARY KEY AUTOINCREMENT"},
        {"NodeName", "TEXT NOT NULL"},
        {"Channel", "INTEGER NOT NULL"},
        {"Addr", "INTEGER NOT NULL"},
        {"Angle", "INTEGER NOT NULL"},
        {"Interv", "INTEGER NOT NULL"}}},
      {"InsTable",
       {{"Index", "INTEGER NOT NULL"},
        {"InsType", "INTEGER NOT NULL"},
        {"Channel_CountIndex", "INTEGER NOT NULL"},
        {"Addr_InsIndex", "INTEGER NOT NULL"},
        {"PWM_Delay_Count", "INTEGER NOT NULL"}}},
  };
  return tables;
}

// Every name is quoted: "Index" is an SQL keyword.
QString CreateTableStatement(const TSchemaTable& table) {
  QStringList columns;
  for (const TSchemaColumn& column : table.Columns)
    columns << QStringLiteral("\"%1\" %2").arg(column.Name, column.Definition);
  return QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(table.Name, columns.join(QStringLiteral(", ")));
}

TConfigStu DefaultConfig() {
  TConfigStu config;
  config.COMPort = QStringLiteral("COM1");
  config.ViewFlag = 15;
  config.RS485Baud = 4;
  config.CANBaud = 4;
  config.IsExtID = false;
  config.Pri = 0;
  config.AutoStart = true;
  config.AutoRpt = false;
  config.PWMRpt = false;
  config.MakePos = true;
  return config;
}

void CreateDatabaseFile(const QString& fileName) {
  CreateEmptyFile(fileName);
  try {
    FillNewFile(fileName);
  } catch (...) {
    QFile::remove(fileName);
    throw;
  }
}

QStringList CheckDatabaseFile(const QString& fileName) {
  const QFileInfo info(fileName);
  if (!info.exists()) throw EDatabaseError(QStringLiteral("no such file"));
  if (!info.isFile()) throw EDatabaseError(QStringLiteral("not a file"));
  TAdoConnection connection;
  connection.SetFileName(fileName);
  connection.Open();
  TAdoQuery query(connection);
  QStringList problems;
  bool configComplete = true;
  for (const TSchemaTable& table : SchemaTables()) {
    const QStringList missing = MissingParts(query, table);
    if (table.Name == QLatin1String(ConfigTableName)) configComplete = missing.isEmpty();
    problems << missing;
  }
  if (configComplete) problems << ConfigRowProblems(query);
  return problems;
}
