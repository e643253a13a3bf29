#include "instext.h"

#include <algorithm>

namespace {

constexpr int MaxPadWidth = 16;
constexpr int RowNumberWidth = 3;
constexpr int MaxHexDigitsPerByte = 2;

QString HexByteText(unsigned byte) { return QStringLiteral("%1").arg(byte & 0xFF, 2, 16, QLatin1Char('0')).toUpper(); }

QString AddrText(const TInsStu& word) { return QStringLiteral("Addr:") + HexByteText(word.Addr_InsIndex()); }

// Action, bus and address: the first three columns of every instruction
// that goes to one node.
QStringList NodeInsTexts(const char* action, const TInsStu& word) {
  return {QLatin1String(action), BusText(word.Channel_CountIndex()), AddrText(word)};
}

QString PWMText(const TInsStu& word) {
  // The word holds tenths; the division truncates toward 0 (-5 shows 0).
  return QStringLiteral("PWM:") + QString::number(word.SignedValue() / 10);
}

QString CommandText(const TInsStu& word) {
  const std::uint8_t bytes[] = {word.Byte(2), word.Byte(3)};
  return QStringLiteral("Cmd:") + BytesToHex(bytes, 2);
}

QString CounterText(const char* prefix, const TInsStu& word) {
  return QLatin1String(prefix) + QString::number(word.Channel_CountIndex() + 1);
}

bool IsHexDigit(QChar c) {
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
         (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

bool TakeHexByte(const QString& token, std::uint8_t& byte) {
  if (token.isEmpty() || !std::all_of(token.begin(), token.end(), IsHexDigit)) return false;
  byte = static_cast<std::uint8_t>(token.toUInt(nullptr, 16));
  return true;
}

int FirstBlank(const QString& text) {
  const auto blank = std::find_if(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
  return static_cast<int>(blank - text.begin());
}

}  // namespace

QString PadNumText(int value, int width) {
  return QString::number(value).rightJustified(std::clamp(width, 0, MaxPadWidth), QLatin1Char('0'));
}

QString InsRowCaption(int row) { return PadNumText(row + 1, RowNumberWidth); }

QStringList InsWordTexts(const TInsStu& word) {
  switch (word.InsType()) {
    case InsSendPWM:
      return NodeInsTexts("SendPWM", word) << PWMText(word);
    case InsReadPos:
      return NodeInsTexts("ReadPos", word);
    case InsReadMea:
      return NodeInsTexts("ReadMeasu", word);
    case InsSendNM:
      return NodeInsTexts("SendNM", word) << CommandText(word);
    case InsDelay:
      return {QStringLiteral("Delay"), QString::number(word.PWM_Delay_Count()) + QStringLiteral("ms")};
    case InsSetCount:
      return {QStringLiteral("SetCount"), CounterText("Index:", word),
              QStringLiteral("Value:") + QString::number(word.PWM_Delay_Count())};
    case InsGoto:
      return {QStringLiteral("Goto"), CounterText("Count:", word),
              QStringLiteral("Inst:") + InsRowCaption(static_cast<int>(word.Addr_InsIndex()))};
    case InsEnd:
      return {QStringLiteral("End")};
    default:
      return {};
  }
}

QString BytesToHex(const std::uint8_t* bytes, int count) {
  QStringList texts;
  for (int i = 0; i < count; ++i) texts << HexByteText(bytes[i]);
  return texts.join(QLatin1Char(' '));
}

int HexToBytes(const QString& text, std::uint8_t* dest, int maxCount) {
  QString rest = text;
  int stored = 0;
  while (stored < maxCount) {
    rest = rest.trimmed();
    if (rest.isEmpty()) break;
    const QString token = rest.left(std::min(FirstBlank(rest), MaxHexDigitsPerByte));
    if (!TakeHexByte(token, dest[stored])) break;
    ++stored;
    rest.remove(0, token.size());
  }
  return stored;
}
