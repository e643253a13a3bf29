// Direct SQL on a database file through a connection of its own, for tests
// that prepare tables or look at what the store wrote.
#pragma once

#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>

#include "query.h"

class TSqlFile {
 public:
  explicit TSqlFile(const QString& fileName) : FQuery(FConnection) {
    FConnection.SetFileName(fileName);
    FConnection.Open();
  }

  int Exec(const QString& statement) {
    FQuery.SetSQL(statement);
    return FQuery.ExecSQL();
  }

  // Every row of the statement's result, each as its values in column order.
  QVector<QVariantList> Rows(const QString& statement, const QStringList& columns) {
    FQuery.SetSQL(statement);
    FQuery.Open();
    QVector<QVariantList> rows;
    for (; !FQuery.Eof(); FQuery.Next()) {
      QVariantList row;
      for (const QString& column : columns) row << FQuery.FieldValue(column);
      rows << row;
    }
    return rows;
  }

  QVariant Value(const QString& statement) { return Rows(statement, {QStringLiteral("V")}).value(0).value(0); }

 private:
  TAdoConnection FConnection;
  TAdoQuery FQuery;
};

// The text of the database error the action raises, or "<no error>".
inline QString MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDatabaseError& e) {
    return e.Message();
  }
  return QStringLiteral("<no error>");
}
