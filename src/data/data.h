// The database module: the one connection to ./Korvane.mdb, the one query
// object, and every store operation of the configuration row, the node table
// and the instruction table. Errors of the engine are raised as
// EDatabaseError and never caught here.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "insword.h"
#include "query.h"
#include "records.h"

class TDataMod : public QObject {
  Q_OBJECT
 public:
  // The connection stays closed until DataModuleCreate, the creation
  // handler, opens it.
  explicit TDataMod(QObject* owner = nullptr, const QString& fileName = DefaultFileName());
  ~TDataMod() override;

  static QString DefaultFileName();  // "Korvane.mdb" in the current directory

  TAdoConnection ADOConnection1;
  TAdoQuery ADOQuery1;

  void DataModuleCreate();  // opens the connection; raises EDatabaseError on failure

  // Configuration row.
  bool ReadConfig(TConfigStu& config);
  bool UpdateCOMPort(const QString& port);
  bool UpdateViewFlag(std::int32_t flags);
  bool UpdateRS485Baud(std::int32_t index);
  bool UpdateCANBaud(std::int32_t index);
  bool UpdateIsExtID(bool on);
  bool UpdatePri(std::int32_t pri);
  bool UpdateAutoStart(bool on);
  bool UpdateAutoRpt(bool on);
  bool UpdatePWMRpt(bool on);
  bool UpdateWaveKind(std::int32_t kind);  // the wave shape lasts for the run only
  bool UpdateMakePos(bool on);

  // Node table. The callback takes ownership of each record.
  using TNodeCallback = std::function<void(TNodeStu*)>;
  bool ReadNodes(const TNodeCallback& callback);
  bool InsertNode(TNodeStu& node);
  bool UpdateNode(const TNodeStu& node);
  bool DeleteNode(std::int32_t id);
  bool DeleteAllNodes();

  // Instruction table. ReadInsts fills at most MaxInsCount words.
  std::int32_t ReadInsts(TInsStu* buf);
  bool WriteInsts(const TInsStu* buf, std::int32_t count);

 private:
  bool ExecConfigUpdate(const char* statement, const char* param, const QVariant& value);
  void OpenQuery(const char* statement);
  void RewriteInsTable(const TInsStu* buf, std::int32_t count);
  void RollbackQuietly();
};

extern TDataMod* DataMod;
