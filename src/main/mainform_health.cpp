// Node health at a glance: the Pos, Temp and Current texts of a row turn
// grey when the node has not reported for a while during a run, and Temp
// turns red when it is hot. Only the colours change; the texts stay those
// the report handling wrote.
#include <QElapsedTimer>
#include <QTreeWidget>

#include "mainform.h"
#include "nodehealth.h"
#include "noderow.h"

namespace {

enum THealthColumn { PosColumn = 5, TempColumn = 6, CurrentColumn = 7 };

const QColor StaleColour(0x90, 0x90, 0x90);
const QColor HotColour(0xE0, 0x00, 0x00);

// Only columns that reports gave are touched: colouring a column that is
// not there yet would add it.
void ShowLook(QTreeWidgetItem* row, int column, TReadingLook look) {
  if (column >= row->columnCount()) return;
  switch (look) {
    case TReadingLook::Plain:
      row->setData(column, Qt::ForegroundRole, QVariant());
      break;
    case TReadingLook::Stale:
      row->setForeground(column, StaleColour);
      break;
    case TReadingLook::Hot:
      row->setForeground(column, HotColour);
      break;
  }
}

}  // namespace

std::int64_t MonotonicMs() {
  static QElapsedTimer clock;
  if (!clock.isValid()) clock.start();
  return clock.elapsed();
}

void TMainForm::NoteNodeReport(TNodeRow* row, std::optional<int> temperature) {
  row->LastReportMs = FHealthClock();
  if (temperature) row->LastTemperature = temperature;
  ShowNodeHealth(row, *row->LastReportMs);
}

void TMainForm::RefreshNodeHealth() {
  const std::int64_t now = FHealthClock();
  for (int i = 0; i < NodeList->topLevelItemCount(); ++i) {
    if (TNodeRow* row = TNodeRow::Of(NodeList->topLevelItem(i))) ShowNodeHealth(row, now);
  }
}

void TMainForm::ShowNodeHealth(TNodeRow* row, std::int64_t nowMs) const {
  if (!row->LastReportMs) return;
  const TReadingLook reading = ReadingLook(FRunning, *row->LastReportMs, nowMs);
  ShowLook(row, PosColumn, reading);
  ShowLook(row, CurrentColumn, reading);
  ShowLook(row, TempColumn,
           row->LastTemperature ? TempLook(FRunning, *row->LastReportMs, nowMs, *row->LastTemperature) : reading);
}
