#include "data.h"

#include <QtGlobal>
#include <cmath>
#include <limits>
#include <memory>


TDataMod* DataMod = nullptr;

namespace {

const char* const SelectConfig = "SELECT * FROM ConfigTable";
const char* const SelectNodes = "SELECT * FROM NodeTable ORDER BY Channel,Addr";
const char* const InsertNodeRow =
    "INSERT INTO NodeTable(NodeName, Channel, Addr, Angle, Interv) VALUES(:NodeName, :Channel, :Addr, :Angle, "
    ":Interv)";
const char* const UpdateNodeRow =
    "UPDATE NodeTable SET NodeName = :NodeName, Channel = :Channel, Addr = :Addr, Angle = :Angle, Interv = "
    ":Interv WHERE ID = :ID";
const char* const SelectIdentity = "SELECT last_insert_rowid() AS ID";
const char* const DeleteNodeRow = "DELETE FROM NodeTable WHERE ID = :ID";
const char* const DeleteNodeRows = "DELETE FROM NodeTable";
const char* const SelectInsts = "SELECT * FROM InsTable ORDER BY [Index]";

// Column values are converted strictly: a NULL, a text that is no number, a
// fraction or a value outside the field's range raises an error naming the
// column instead of turning into some other value.
[[noreturn]] void RaiseBadValue(const QString& column, const QVariant& value, const char* kind) {
  throw EDatabaseError(
      QStringLiteral("the value '%1' of column %2 is not a %3").arg(value.toString(), column, QLatin1String(kind)));
}

QVariant NonNullField(const TAdoQuery& query, const QString& column) {
  const QVariant value = query.FieldValue(column);
  if (value.isNull()) throw EDatabaseError(QStringLiteral("the column %1 holds no value").arg(column));
  return value;
}

bool IsFloatingPoint(const QVariant& value) {
  const int type = value.metaType().id();
  return type == QMetaType::Double || type == QMetaType::Float;
}

qint64 IntegerField(const TAdoQuery& query, const QString& column, qint64 min, qint64 max, const char* kind) {
  const QVariant value = NonNullField(query, column);
  bool ok = false;
  qint64 result = 0;
  if (IsFloatingPoint(value)) {
    const double d = value.toDouble();
    ok = std::isfinite(d) && std::trunc(d) == d && d >= double(min) && d <= double(max);
    result = ok ? static_cast<qint64>(d) : 0;
  } else {
    result = value.toLongLong(&ok);
  }
  if (!ok || result < min || result > max) RaiseBadValue(column, value, kind);
  return result;
}

std::int32_t Int32Field(const TAdoQuery& query, const QString& column) {
  return static_cast<std::int32_t>(IntegerField(query, column, std::numeric_limits<std::int32_t>::min(),
                                                std::numeric_limits<std::int32_t>::max(), "32-bit integer"));
}

std::int16_t Int16Field(const TAdoQuery& query, const QString& column) {
  return static_cast<std::int16_t>(IntegerField(query, column, std::numeric_limits<std::int16_t>::min(),
                                                std::numeric_limits<std::int16_t>::max(), "16-bit integer"));
}

std::uint8_t UInt8Field(const TAdoQuery& query, const QString& column) {
  return static_cast<std::uint8_t>(IntegerField(query, column, 0, 255, "8-bit unsigned integer"));
}

bool BoolField(const TAdoQuery& query, const QString& column) {
  const QVariant value = NonNullField(query, column);
  const QString text = value.toString().trimmed();
  if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
  if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
  return IntegerField(query, column, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
                      "boolean") != 0;
}

QString TextField(const TAdoQuery& query, const QString& column) { return NonNullField(query, column).toString(); }

TConfigStu ConfigOfRow(const TAdoQuery& query, TConfigStu config) {
  config.COMPort = TextField(query, "COMPort");
  config.ViewFlag = Int32Field(query, "ViewFlag");
  config.RS485Baud = Int32Field(query, "RS485Baud");
  config.CANBaud = Int32Field(query, "CANBaud");
  config.IsExtID = BoolField(query, "IsExtID");
  config.Pri = Int32Field(query, "Pri");
  config.AutoStart = BoolField(query, "AutoStart");
  config.AutoRpt = BoolField(query, "AutoRpt");
  config.PWMRpt = BoolField(query, "PWMRpt");
  config.MakePos = BoolField(query, "MakePos");
  return config;
}

std::unique_ptr<TNodeStu> NodeOfRow(const TAdoQuery& query) {
  auto node = std::make_unique<TNodeStu>();
  node->ID = Int32Field(query, "ID");
  node->NodeName = TextField(query, "NodeName");
  node->Channel = Int32Field(query, "Channel");
  node->Addr = Int32Field(query, "Addr");
  node->Angle = Int32Field(query, "Angle");
  node->Interv = Int32Field(query, "Interv");
  return node;
}

void SetNodeParams(TAdoQuery& query, const TNodeStu& node) {
  query.SetParam("NodeName", node.NodeName);
  query.SetParam("Channel", node.Channel);
  query.SetParam("Addr", node.Addr);
  query.SetParam("Angle", node.Angle);
  query.SetParam("Interv", node.Interv);
}

// All four columns are read before the word changes, so a bad value leaves
// the word as it was.
TInsStu InsOfRow(const TAdoQuery& query, TInsStu word) {
  const std::int32_t insType = Int32Field(query, "InsType");
  const std::int32_t channel = Int32Field(query, "Channel_CountIndex");
  const std::uint8_t addr = UInt8Field(query, "Addr_InsIndex");
  const std::int16_t value = Int16Field(query, "PWM_Delay_Count");
  word.SetInsType(static_cast<unsigned>(insType));
  word.SetChannel_CountIndex(static_cast<unsigned>(channel));
  word.SetAddr_InsIndex(addr);
  word.SetPWM_Delay_Count(static_cast<std::uint16_t>(value));
  return word;
}

// Writes the word's fields and its position into the row being edited or
// appended.
void SetInsFields(TAdoQuery& query, const TInsStu& word, std::int32_t index) {
  query.SetFieldValue("Index", index);
  query.SetFieldValue("InsType", static_cast<int>(word.InsType()));
  query.SetFieldValue("Channel_CountIndex", static_cast<int>(word.Channel_CountIndex()));
  query.SetFieldValue("Addr_InsIndex", static_cast<int>(word.Addr_InsIndex()));
  query.SetFieldValue("PWM_Delay_Count", static_cast<int>(word.SignedValue()));
}

}  // namespace

TDataMod::TDataMod(QObject* owner, const QString& fileName) : QObject(owner), ADOQuery1(ADOConnection1) {
  ADOConnection1.SetFileName(fileName);
}

TDataMod::~TDataMod() {
  ADOQuery1.Close();
  ADOConnection1.Close();
  if (DataMod == this) DataMod = nullptr;
}

QString TDataMod::DefaultFileName() { return QStringLiteral("Korvane.mdb"); }

void TDataMod::DataModuleCreate() { ADOConnection1.Open(); }

void TDataMod::OpenQuery(const char* statement) {
  ADOQuery1.SetSQL(QString::fromLatin1(statement));
  ADOQuery1.Open();
}

bool TDataMod::ExecConfigUpdate(const char* statement, const char* param, const QVariant& value) {
  ADOQuery1.SetSQL(QString::fromLatin1(statement));
  ADOQuery1.SetParam(QString::fromLatin1(param), value);
  return ADOQuery1.ExecSQL() == 1;
}

// ---------------------------------------------------------------------------
// Configuration row

bool TDataMod::ReadConfig(TConfigStu& config) {
  OpenQuery(SelectConfig);
  if (ADOQuery1.RecordCount() != 1) return false;
  config = ConfigOfRow(ADOQuery1, config);
  return true;
}

bool TDataMod::UpdateCOMPort(const QString& port) {
  return ExecConfigUpdate("UPDATE ConfigTable SET COMPort = :COMPort", "COMPort", port);
}

bool TDataMod::UpdateViewFlag(std::int32_t flags) {
  return ExecConfigUpdate("UPDATE ConfigTable SET ViewFlag = :ViewFlag", "ViewFlag", flags);
}

bool TDataMod::UpdateRS485Baud(std::int32_t index) {
  return ExecConfigUpdate("UPDATE ConfigTable SET RS485Baud = :BaudIndex", "BaudIndex", index);
}

bool TDataMod::UpdateCANBaud(std::int32_t index) {
  return ExecConfigUpdate("UPDATE ConfigTable SET CANBaud = :BaudIndex", "BaudIndex", index);
}

bool TDataMod::UpdateIsExtID(bool on) {
  return ExecConfigUpdate("UPDATE ConfigTable SET IsExtID = :IsExtID", "IsExtID", on);
}

bool TDataMod::UpdatePri(std::int32_t pri) { return ExecConfigUpdate("UPDATE ConfigTable SET Pri = :Pri", "Pri", pri); }

bool TDataMod::UpdateAutoStart(bool on) {
  return ExecConfigUpdate("UPDATE ConfigTable SET AutoStart = :AutoStart", "AutoStart", on);
}

bool TDataMod::UpdateAutoRpt(bool on) {
  return ExecConfigUpdate("UPDATE ConfigTable SET AutoRpt = :AutoRpt", "AutoRpt", on);
}

bool TDataMod::UpdatePWMRpt(bool on) { return ExecConfigUpdate("UPDATE ConfigTable SET PWMRpt = :PWMRpt", "PWMRpt", on); }

// The wave shape has no column: the choice lasts for the run only, so
// nothing is stored.
bool TDataMod::UpdateWaveKind(std::int32_t kind) {
  Q_UNUSED(kind);
  return false;
}

bool TDataMod::UpdateMakePos(bool on) {
  return ExecConfigUpdate("UPDATE ConfigTable SET MakePos = :MakePos", "MakePos", on);
}

// ---------------------------------------------------------------------------
// Node table

// The result set's count is always exact here, so the read fails only by
// raising. A record is handed over only once all its columns were read.
bool TDataMod::ReadNodes(const TNodeCallback& callback) {
  OpenQuery(SelectNodes);
  for (; !ADOQuery1.Eof(); ADOQuery1.Next()) callback(NodeOfRow(ADOQuery1).release());
  return true;
}

bool TDataMod::InsertNode(TNodeStu& node) {
  ADOQuery1.SetSQL(QString::fromLatin1(InsertNodeRow));
  SetNodeParams(ADOQuery1, node);
  if (ADOQuery1.ExecSQL() < 1) return false;
  OpenQuery(SelectIdentity);
  if (ADOQuery1.RecordCount() != 1) return false;
  node.ID = Int32Field(ADOQuery1, "ID");
  return true;
}

bool TDataMod::UpdateNode(const TNodeStu& node) {
  ADOQuery1.SetSQL(QString::fromLatin1(UpdateNodeRow));
  SetNodeParams(ADOQuery1, node);
  ADOQuery1.SetParam("ID", node.ID);
  return ADOQuery1.ExecSQL() >= 1;
}

bool TDataMod::DeleteNode(std::int32_t id) {
  ADOQuery1.SetSQL(QString::fromLatin1(DeleteNodeRow));
  ADOQuery1.SetParam("ID", id);
  return ADOQuery1.ExecSQL() >= 1;
}

bool TDataMod::DeleteAllNodes() {
  ADOQuery1.SetSQL(QString::fromLatin1(DeleteNodeRows));
  ADOQuery1.ExecSQL();
  return true;
}

// ---------------------------------------------------------------------------
// Instruction table

// Reads at most MaxInsCount rows, whatever the table holds, so the caller's
// buffer is never overrun; further rows are ignored.
std::int32_t TDataMod::ReadInsts(TInsStu* buf) {
  OpenQuery(SelectInsts);
  std::int32_t n = 0;
  for (; !ADOQuery1.Eof() && n < MaxInsCount; ADOQuery1.Next(), ++n) buf[n] = InsOfRow(ADOQuery1, buf[n]);
  return n;
}

// The rewrite runs as one transaction: an error anywhere leaves the table
// exactly as it was before the call, and the error goes on to the caller.
bool TDataMod::WriteInsts(const TInsStu* buf, std::int32_t count) {
  if (count < 0 || count > MaxInsCount)
    throw EDatabaseError(QStringLiteral("the program has %1 instructions; at most %2 can be stored")
                             .arg(count)
                             .arg(MaxInsCount));
  ADOConnection1.BeginTrans();
  try {
    RewriteInsTable(buf, count);
    ADOConnection1.CommitTrans();
  } catch (...) {
    ADOQuery1.Close();  // its rows may show changes that are being undone
    RollbackQuietly();
    throw;
  }
  return true;
}

// Rows are edited in Index order, surplus rows deleted, missing rows
// appended. Every row written gets its position as Index, so the table reads
// back in the order written even when its Index values were not 0 to n-1.
void TDataMod::RewriteInsTable(const TInsStu* buf, std::int32_t count) {
  OpenQuery(SelectInsts);
  for (std::int32_t i = 0; !ADOQuery1.Eof(); ++i) {
    if (i < count) {
      ADOQuery1.Edit();
      SetInsFields(ADOQuery1, buf[i], i);
      ADOQuery1.Post();
      ADOQuery1.Next();
    } else {
      ADOQuery1.Delete();
    }
  }
  for (std::int32_t j = ADOQuery1.RecordCount(); j < count; ++j) {
    ADOQuery1.Append();
    SetInsFields(ADOQuery1, buf[j], j);
    ADOQuery1.Post();
  }
}

// The error that made the rewrite fail is the one to report; a failing
// rollback (the engine may have ended the transaction itself) must not
// replace it.
void TDataMod::RollbackQuietly() {
  try {
    ADOConnection1.RollbackTrans();
  } catch (const EDatabaseError&) {
  }
}
