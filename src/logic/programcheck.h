// The program check: looks at the instruction program and the node list
// for what would make the board go wrong, without changing either. It only
// warns; the program is downloaded as the operator has it.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "insword.h"
#include "records.h"

enum class TFindingKind {
  GotoPastEnd,       // a Goto's target is at or past the end of the program
  CounterNotLoaded,  // no Set Count before the Goto loads its counter
  NoSuchNode,        // a node instruction names a bus and address no node of the list has
  PWMOutOfRange,     // a Send PWM value outside -1000..1000 tenths
  NoEnd,             // the program has no End: the board runs past its last word
};

struct TProgramFinding {
  int Row = 0;  // 0-based position of the word in the program
  TFindingKind Kind = TFindingKind::NoEnd;
  QString Text;

  bool operator==(const TProgramFinding& o) const { return Row == o.Row && Kind == o.Kind && Text == o.Text; }
};

// The findings for words 0 to count-1, ordered by row (a count outside
// 0..MaxInsCount is taken as the nearest of those). A program without an End
// gets that finding on its last word; an empty program has no findings.
std::vector<TProgramFinding> CheckProgram(const TInsStu* words, std::int32_t count, const std::vector<TNodeStu>& nodes);

// The texts of the findings on one row, in order.
QStringList FindingTextsOfRow(const std::vector<TProgramFinding>& findings, int row);
