// What turns a fresh Korvane.mdb into a hostile one, as statements to run on
// it: the three tables without the types and constraints of the program's
// own files, then rows the program never writes (a 1 MB name, numbers out of
// range or of the wrong type, NULLs, 10,000 nodes, 300 instruction words).
#pragma once

#include <QString>
#include <QStringList>

namespace hostile {

// A text of 1,048,576 characters, as an SQL expression.
inline QString MegabyteText() { return QStringLiteral("hex(zeroblob(524288))"); }
constexpr int MegabyteLength = 1048576;

inline QStringList LooseTable(const QString& table, const QString& columns) {
  return {QStringLiteral("ALTER TABLE %1 RENAME TO Hostile_Old").arg(table),
          QStringLiteral("CREATE TABLE %1(%2)").arg(table, columns),
          QStringLiteral("INSERT INTO %1 SELECT * FROM Hostile_Old").arg(table),
          QStringLiteral("DROP TABLE Hostile_Old")};
}

// Every column takes any value, NULL included.
inline QStringList LooseTables() {
  return LooseTable("ConfigTable", "COMPort, ViewFlag, RS485Baud, CANBaud, IsExtID, Pri, AutoStart, AutoRpt, PWMRpt, "
                                   "MakePos") +
         LooseTable("NodeTable", "ID INTEGER PRIMARY KEY AUTOINCREMENT, NodeName, Channel, Addr, Angle, Interv") +
         LooseTable("InsTable", "\"Index\", InsType, Channel_CountIndex, Addr_InsIndex, PWM_Delay_Count");
}

inline QString Nodes(int count) {
  return QStringLiteral(
             "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < %1) "
             "INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) "
             "SELECT 'node ' || i, i % 3, i % 256, i % 181, 100 + i FROM n")
      .arg(count);
}

// Words whose four columns are i, i + 1, i + 2 and 1000 + i (types and bus
// codes keep their low 4 bits).
inline QString InsRows(int count) {
  return QStringLiteral(
             "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < %1) "
             "INSERT INTO InsTable(\"Index\", InsType, Channel_CountIndex, Addr_InsIndex, PWM_Delay_Count) "
             "SELECT i, i % 16, (i + 1) % 16, (i + 2) % 256, 1000 + i FROM n")
      .arg(count);
}

}  // namespace hostile
