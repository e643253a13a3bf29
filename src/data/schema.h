// The tables of the database file, as SQL, and the two things done with a
// file outside the program: creating a new one with a starting configuration
// row, and checking that an existing one has every table and column the
// program reads and writes.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "records.h"

struct TSchemaColumn {
  QString Name;
  QString Definition;  // SQLite type and constraints
};

struct TSchemaTable {
  QString Name;
  QVector<TSchemaColumn> Columns;
};

// ConfigTable, NodeTable and InsTable with the columns the program uses.
const QVector<TSchemaTable>& SchemaTables();

// The CREATE TABLE statement of one table.
QString CreateTableStatement(const TSchemaTable& table);

// The configuration a new file starts with: the main window's designed
// initial control states.
TConfigStu DefaultConfig();

// Creates a new database file with the three tables and one configuration
// row equal to DefaultConfig(). Refuses to touch an existing file. Raises
// EDatabaseError on failure and leaves no half-made file behind.
void CreateDatabaseFile(const QString& fileName);

// Lists what the file lacks: "missing table T", "missing column T.C", and a
// ConfigTable that does not hold exactly one row. An empty list means the
// file is complete. Raises EDatabaseError when the file is missing or cannot
// be opened as a database.
QStringList CheckDatabaseFile(const QString& fileName);
