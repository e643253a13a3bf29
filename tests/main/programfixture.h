// The program's six objects, created in a temporary working directory in the
// order of the program entry and destroyed in the reverse order, with a real
// Korvane.mdb that the test shapes through its own database connection. The
// serial ports COM1 to COM8 lead nowhere unless the test links a
// pseudo-terminal to one of them, so that no real port is ever opened.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <memory>
#include <stdexcept>

#include "comm.h"
#include "data.h"
#include "insdlg.h"
#include "mainform.h"
#include "makedlg.h"
#include "nodedlg.h"
#include "program.h"
#include "schema.h"
#include "testsupport.h"
#include "transact.h"

// Chooses an entry of a drop-down list as the operator does.
inline void Choose(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

class TProgramFixture : public testing::Test {
 protected:
  TTempCwd Cwd;
  TErrorRecorder Errors;
  std::unique_ptr<TPtyPair> Board;

  TProgramFixture() {
    QDir(Cwd.Path()).mkpath(QStringLiteral("dosdevices"));
    for (int n = 1; n <= 8; ++n) LinkComTo(n, QStringLiteral("/nonexistent/serial-port"));
  }

  ~TProgramFixture() override { DestroyProgram(); }

  static QString DatabaseFile() { return QStringLiteral("Korvane.mdb"); }

  void MakeDatabase() { CreateDatabaseFile(DatabaseFile()); }

  // Runs one statement on the file through a connection of the test's own.
  void Sql(const QString& statement) const {
    const QString name = QUuid::createUuid().toString();
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
      db.setDatabaseName(Cwd.File(DatabaseFile()));
      if (!db.open()) throw std::runtime_error("cannot open the test database");
      QSqlQuery query(db);
      if (!query.exec(statement)) throw std::runtime_error(query.lastError().text().toStdString());
    }
    QSqlDatabase::removeDatabase(name);
  }

  // The first column of the first row of a query on the file.
  QVariant SqlValue(const QString& statement) const {
    const QString name = QUuid::createUuid().toString();
    QVariant value;
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
      db.setDatabaseName(Cwd.File(DatabaseFile()));
      if (!db.open()) throw std::runtime_error("cannot open the test database");
      QSqlQuery query(db);
      if (!query.exec(statement) || !query.next()) throw std::runtime_error("no value");
      value = query.value(0);
    }
    QSqlDatabase::removeDatabase(name);
    return value;
  }

  QVariant ConfigColumn(const QString& column) const {
    return SqlValue(QStringLiteral("SELECT %1 FROM ConfigTable").arg(column));
  }

  QByteArray FileDigest() const {
    QFile file(Cwd.File(DatabaseFile()));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
  }

  void LinkComTo(int n, const QString& target) const {
    const QString link = Cwd.File(QStringLiteral("dosdevices/com%1").arg(n));
    QFile::remove(link);
    if (!QFile::link(target, link)) throw std::runtime_error("cannot link the port");
  }

  // A pseudo-terminal plays the board on COMn.
  void PlugBoardInto(int n) {
    Board = std::make_unique<TPtyPair>();
    Board->HoldSlaveOpen();
    LinkComTo(n, QString::fromStdString(Board->SlavePath()));
  }

  void CreateProgram() { CreateProgramObjects(); }

  void DestroyProgram() { DestroyProgramObjects(); }

  long Statements() const { return DataMod->ADOConnection1.StatementCount(); }

  template <typename T>
  T* Control(const char* name) const {
    T* control = MainForm->findChild<T*>(QString::fromLatin1(name));
    if (!control) throw std::runtime_error(std::string("no control ") + name);
    return control;
  }
};
