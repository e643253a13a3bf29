#include "programcheck.h"

#include <QStringList>
#include <algorithm>
#include <array>

#include "bustext.h"
#include "instext.h"

namespace {

constexpr int CounterCount = 16;
constexpr int MinPWMTenths = -1000;
constexpr int MaxPWMTenths = 1000;
constexpr unsigned BusBoth = 0;

bool AddressesANode(unsigned type) {
  return type == InsSendPWM || type == InsReadPos || type == InsReadMea || type == InsSendNM;
}

// Bus code 0 reaches both buses, so a node on either bus will do.
bool NodeAt(const std::vector<TNodeStu>& nodes, unsigned bus, unsigned addr) {
  return std::any_of(nodes.begin(), nodes.end(), [&](const TNodeStu& node) {
    const bool busMatches = bus == BusBoth ? (node.Channel == 1 || node.Channel == 2)
                                           : node.Channel == static_cast<std::int32_t>(bus);
    return busMatches && node.Addr == static_cast<std::int32_t>(addr);
  });
}

QString BusName(unsigned bus) {
  const QString text = BusText(bus);
  return text.isEmpty() ? QStringLiteral("bus %1").arg(bus) : text;
}

QString AddrHex(unsigned addr) { return QStringLiteral("%1").arg(addr, 2, 16, QLatin1Char('0')).toUpper(); }

// Tenths as the operator enters them: 1005 reads 100.5.
QString PWMUnits(int tenths) { return QString::number(tenths / 10.0); }

class TChecker {
 public:
  TChecker(const TInsStu* words, std::int32_t count, const std::vector<TNodeStu>& nodes)
      : FWords(words), FCount(std::clamp<std::int32_t>(count, 0, MaxInsCount)), FNodes(nodes) {}

  std::vector<TProgramFinding> Run() {
    bool hasEnd = false;
    for (int row = 0; row < FCount; ++row) {
      const TInsStu& word = FWords[row];
      CheckNodeAddress(row, word);
      CheckPWM(row, word);
      CheckGoto(row, word);
      if (word.InsType() == InsSetCount) FLoaded[word.Channel_CountIndex()] = true;
      hasEnd = hasEnd || word.InsType() == InsEnd;
    }
    if (FCount > 0 && !hasEnd) {
      Add(FCount - 1, TFindingKind::NoEnd,
          QStringLiteral("The program has no End: the board runs on past its last instruction"));
    }
    return std::move(FFindings);
  }

 private:
  void Add(int row, TFindingKind kind, const QString& text) { FFindings.push_back({row, kind, text}); }

  void CheckNodeAddress(int row, const TInsStu& word) {
    const unsigned addr = word.Addr_InsIndex();
    if (!AddressesANode(word.InsType()) || addr == 0) return;
    const unsigned bus = word.Channel_CountIndex();
    if (NodeAt(FNodes, bus, addr)) return;
    const QString where = bus == BusBoth ? QStringLiteral("on either bus") : QStringLiteral("on ") + BusName(bus);
    Add(row, TFindingKind::NoSuchNode,
        QStringLiteral("No node of the node list has address %1 %2").arg(AddrHex(addr), where));
  }

  void CheckPWM(int row, const TInsStu& word) {
    if (word.InsType() != InsSendPWM) return;
    const int tenths = word.SignedValue();
    if (tenths >= MinPWMTenths && tenths <= MaxPWMTenths) return;
    Add(row, TFindingKind::PWMOutOfRange,
        QStringLiteral("PWM %1 is outside %2 to %3")
            .arg(PWMUnits(tenths), PWMUnits(MinPWMTenths), PWMUnits(MaxPWMTenths)));
  }

  void CheckGoto(int row, const TInsStu& word) {
    if (word.InsType() != InsGoto) return;
    const int target = static_cast<int>(word.Addr_InsIndex());
    if (target >= FCount) {
      Add(row, TFindingKind::GotoPastEnd,
          QStringLiteral("Goto target %1 is past the last instruction (%2)")
              .arg(InsRowCaption(target), InsRowCaption(FCount - 1)));
    }
    const unsigned counter = word.Channel_CountIndex();
    if (!FLoaded[counter]) {
      Add(row, TFindingKind::CounterNotLoaded,
          QStringLiteral("Counter %1 is loaded by no SetCount before this Goto").arg(counter + 1));
    }
  }

  const TInsStu* FWords;
  const std::int32_t FCount;
  const std::vector<TNodeStu>& FNodes;
  std::array<bool, CounterCount> FLoaded{};
  std::vector<TProgramFinding> FFindings;
};

}  // namespace

std::vector<TProgramFinding> CheckProgram(const TInsStu* words, std::int32_t count,
                                          const std::vector<TNodeStu>& nodes) {
  if (!words) return {};
  return TChecker(words, count, nodes).Run();
}

QStringList FindingTextsOfRow(const std::vector<TProgramFinding>& findings, int row) {
  QStringList texts;
  for (const TProgramFinding& finding : findings) {
    if (finding.Row == row) texts << finding.Text;
  }
  return texts;
}
