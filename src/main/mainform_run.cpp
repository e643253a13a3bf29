// Run control: starting and stopping the board's program, the run lamp, and
// polling the board for reports while the program runs (unless the board
// reports by itself).
#include <QTreeWidget>

#include "comm.h"
#include "mainform.h"
#include "pollcycle.h"
#include "shape.h"
#include "transact.h"

namespace {

constexpr std::uint32_t RunCommandTimeoutMs = 100;
const QColor LampRed(0xFF, 0x00, 0x00);
const QColor LampSilver(0xC0, 0xC0, 0xC0);

const QString& WaitText() {
  static const QString text = QStringLiteral("Wait response...");
  return text;
}

bool RunCommand(TCommand command) {
  TPayloadStu answer;
  return Transact(MakeRequest(command), answer, RunCommandTimeoutMs);
}

}  // namespace

// The answer to Start has already restarted the time base when Transact
// returns.
void TMainForm::StartBtnClick() {
  ShowStatus(WaitText());
  if (!RunCommand(CmdStart)) return;
  FRunning = true;
  Pages->setCurrentWidget(WaveSheet);
  FPollSeq = 0;
  FPollSize = FConfig.AutoRpt ? 0 : PollSizeFor(NodeList->topLevelItemCount());
  FPollLeft = FPollSize;
  UpdateControls();
  RefreshNodeHealth();
}

// The lamp keeps the colour of its last blink.
void TMainForm::StopBtnClick() {
  ShowStatus(WaitText());
  if (!RunCommand(CmdStop)) return;
  FRunning = false;
  UpdateControls();
  RefreshNodeHealth();
}

void TMainForm::RunTimerTimer() {
  if (!FRunning) return;
  BlinkRunLamp();
  RefreshNodeHealth();
  if (!CommMod || !CommMod->Uart.Active() || FConfig.AutoRpt) return;
  PollTick();
}

void TMainForm::BlinkRunLamp() { RunLed->SetBrushColor(RunLed->BrushColor() == LampRed ? LampSilver : LampRed); }

// Whether the poll went out is not looked at: an unanswered cycle is asked
// for again on the next tick.
void TMainForm::PollTick() {
  const std::optional<TPollRequest> poll = TickPoll(FPollSeq, FPollSize, FPollLeft, NodeList->topLevelItemCount());
  if (poll) SendPoll(poll->Seq, poll->Count);
}
